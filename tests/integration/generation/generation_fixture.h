#pragma once
// A client base made from the delivered template in a temporary folder, with helpers to
// fill it and to run the generation worker against it.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "generation/gera_thread.h"
#include "sintegra/sintegra.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace generation::testing {

// Everything the worker said, in order.
class ObservadorGravado : public ObservadorGeracao {
 public:
  void Progresso(const std::string& tarefa, int percentual) override {
    progresso.push_back({tarefa, percentual});
    if (aoProgredir) aoProgredir(tarefa, percentual);
  }
  void Log(const std::string& linha) override {
    log.push_back(linha);
    if (aoLogar) aoLogar(linha);
  }
  void Mensagem(bool sucesso, const std::string& titulo, const std::string& texto) override {
    mensagens.push_back({sucesso, titulo, texto});
  }
  void Fecha() override { ++fechamentos; }

  struct Passo {
    std::string tarefa;
    int percentual;
  };
  struct Caixa {
    bool sucesso;
    std::string titulo, texto;
  };
  std::vector<Passo> progresso;
  std::vector<std::string> log;
  std::vector<Caixa> mensagens;
  int fechamentos = 0;
  std::function<void(const std::string&, int)> aoProgredir;
  std::function<void(const std::string&)> aoLogar;
};

class GeracaoTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // An owner with plain values.
  void Proprietario();
  // A product; its key.
  int Produto(const std::string& codigo, const std::string& aliquota = "1800",
              const std::string& descricao = "Produto");
  int Nota(const store::Date& data, int numero, const std::string& outros = "000",
           const std::string& aliquota = "1800");
  void Item(int id_nota, int nb_item, const std::string& codigo, const std::string& aliquota,
            const std::string& base, const std::string& substituicao = "000",
            const std::string& quantidade = "1000", const std::string& valor = "100");
  void Inventario(int id_produto, const store::Date& data, int posse = 1);

  // Runs the worker for the month (pauses off) into a fresh output folder.
  ResultadoGeracao Gera(int ano, int mes, const sintegra::TListaTipoRegistros& tipos,
                        const std::string& arquivo60 = "", int finalidade = 1, int natureza = 3);
  // The file the last Gera wrote, read back.
  std::unique_ptr<sintegra::TSintegra> Lido();
  std::vector<std::shared_ptr<sintegra::TRegistro>> DoTipo(const std::string& tipo);

  std::filesystem::path dir_;
  std::filesystem::path saida_;
  std::unique_ptr<store::TdmTributarium> dm_;
  ObservadorGravado obs_;
  std::function<void(TGeraThread&)> antes_de_executar_;
};

sintegra::TListaTipoRegistros TiposPadrao();

}  // namespace generation::testing
