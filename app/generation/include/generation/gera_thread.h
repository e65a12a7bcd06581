#pragma once
// The generation worker: reads one client base for one month and writes Sintegra.txt.
// Plain C++: whoever runs it (the status window on a thread of its own, the command
// line on its main thread) calls Executa and hears from it through an observer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "generation/linhas_guardadas.h"
#include "sintegra/sintegra.h"
#include "sintegra/tipos.h"
#include "store/firebird.h"

namespace generation {

// What the worker tells the one who runs it. Every call comes from the worker's thread;
// a window queues them to its own thread.
class ObservadorGeracao {
 public:
  virtual ~ObservadorGeracao() = default;
  // Blocks until the status display is showing (the window waits for its dialog).
  virtual void AguardaExibicao() {}
  // Busy (hourglass) at the start, not busy at the end.
  virtual void Ocupado(bool /*ocupado*/) {}
  // A task text and a percentage 0-100.
  virtual void Progresso(const std::string& tarefa, int percentual) = 0;
  // One operation-log line (GravaLog).
  virtual void Log(const std::string& linha) = 0;
  // The final message box: sucesso true for "Sucesso!" (information), false for "Erro!".
  virtual void Mensagem(bool sucesso, const std::string& titulo, const std::string& texto) = 0;
  // The run is over; the status display may close.
  virtual void Fecha() {}
};

// Result of one run.
struct ResultadoGeracao {
  enum class Situacao { Sucesso, Falha, Cancelada };
  Situacao situacao = Situacao::Falha;
  std::string erro;     // the error's own message when it failed
  std::string arquivo;  // the file written, on success
};

class TGeraThread {
 public:
  // Parameters, set before Executa and left alone during the run.
  std::int16_t Mes = 0;
  std::int16_t Ano = 0;
  int NaturezaOperacao = 3;
  int Finalidade = 1;
  std::string ArquivoRegistros60e75;
  std::string DiretorioSaida;
  sintegra::TListaTipoRegistros TiposSelecionados;
  // Pause after each step that succeeded and after the file is written.
  int PausaMs = 100;

  explicit TGeraThread(ObservadorGeracao& observador);
  ~TGeraThread();

  // The run. Reads the client base open in dmTributarium. Never raises: the outcome
  // is reported to the observer and returned.
  ResultadoGeracao Executa();

  // Asks a run in progress to stop (from any thread). It stops at the next row or step,
  // writes no file and shows no message.
  void Cancela();
  bool Cancelado() const { return cancelar_.load(); }
  // Holds a run at its next checkpoint (between rows and steps, where it holds no
  // statement open for the other thread) until Retoma or Cancela.
  void Suspende();
  void Retoma();

 private:
  bool Selecionado(sintegra::TTipoRegistros tipo) const;
  bool AlgumTipo60Selecionado() const;
  void VerificaCancelamento() const;
  void Pausa() const;
  void Passo(bool (TGeraThread::*passo)(), const char* falha);

  bool CarregaRegistroTipo10();
  bool CarregaRegistroTipo11();
  bool CarregaRegistroTipo50();
  bool DesmembraRegistroTipo50(std::int64_t id_nota, sintegra::TRegistro& nota);
  bool CarregaRegistroTipo54();
  void LeArquivoRegistros60e75();
  bool CarregaRegistrosTipo60e75();
  bool CarregaRegistroTipo74();
  bool CarregaRegistroTipo75();
  bool CarregaRegistroTipo75DoBanco();

  // The period's items (qBuscaProdutoNF) are read once, as they come, never held whole, by
  // the first of the type-50, 54 and 75 steps that runs (LeItensDoPeriodo): what the split
  // and the type-75 step need of them is kept, and the type-54 lines, when selected, are
  // made then and kept aside (LinhasGuardadas) until their step, with the error that
  // stopped them, if any.
  struct ItemDesmembrado {
    std::string aliquota, base_icms, base_substituicao;
  };
  void LeItensDoPeriodo();
  // Hands the period's items invoice by invoice (an invoice without items is one row
  // with empty item columns), in item-number order inside each: the rows of one invoice
  // and their order.
  void PorNota(const std::function<void(const store::RowSet&, const std::vector<size_t>&)>& f);

  ObservadorGeracao& observador_;
  std::atomic<bool> cancelar_{false};
  std::atomic<bool> suspenso_{false};
  mutable std::mutex m_suspensao_;
  mutable std::condition_variable cv_suspensao_;
  store::Date inicio_, fim_;
  std::string inicio_texto_, fim_texto_;
  std::unique_ptr<sintegra::TSintegra> saida_;
  std::unique_ptr<sintegra::TSintegra> SintegraArquivo;
  bool itens_lidos_ = false;
  // The items of each invoice whose items carry more than one rate, in item-number order.
  std::unordered_map<std::int64_t, std::vector<ItemDesmembrado>> notas_desmembradas_;
  // The product codes of the period's items, without their trailing blanks.
  std::unordered_set<std::string> codigos_movimentados_;
  // The type-54 lines made by LeItensDoPeriodo, and the error that ended their making.
  std::unique_ptr<LinhasGuardadas> linhas54_;
  std::exception_ptr erro54_;
};

// The purpose code written into type 10: the fourth choice ("Desfazimento") is 5.
std::string CodigoFinalidade(int finalidade);

}  // namespace generation
