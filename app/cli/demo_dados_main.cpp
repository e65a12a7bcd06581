// tributarium-demo-dados: fills a client base with the demo month (same data for the
// same seed), for the demo and the benchmark.
#include <iostream>

#include "dados_demo.h"
#include "dispatcher.h"
#include "sessao.h"

namespace {

int Preenche(const cli::OpcoesGlobais& g, const cli::Arguments& args, cli::Context& c) {
  if (args.size() < 3 || args.size() > 4) throw cli::UsageError("argumentos");
  int mes = std::stoi(args[1]), ano = std::stoi(args[2]);
  if (mes < 1 || mes > 12 || ano < 2000 || ano > 3000) throw cli::UsageError("mês ou ano inválido");
  generation::demo::TamanhoDemo tamanho;
  if (args.size() == 4) {
    // "grande": the month of the benchmark.
    if (args[3] != "grande") throw cli::UsageError("tamanho desconhecido: " + args[3]);
    tamanho = {20000, 10000, 9, 5000};
  }
  cli::Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  auto base = s.BuscaBase(args[0]);
  if (!base) throw std::runtime_error("Base de dados não encontrada: \"" + args[0] + "\".");
  s.AbreBase(*base);
  auto r = generation::demo::GeraDadosDemo(ano, mes, 1957, tamanho);
  c.out << "notas\t" << r.notas << "\nitens\t" << r.itens << "\nprodutos\t" << r.produtos
        << "\ninventario\t" << r.inventario << "\n";
  return cli::kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
  cli::Context context{std::cout, std::cerr};
  cli::Arguments args(argv + 1, argv + argc);
  cli::OpcoesGlobais opcoes;
  try {
    opcoes = cli::OpcoesGlobais::Extrai(args);
  } catch (const cli::UsageError& e) {
    std::cerr << e.what() << "\n";
    return cli::kExitUsage;
  }
  cli::Dispatcher d("tributarium-demo-dados");
  d.Add({{"preencher"},
         "BASE MES ANO [grande]",
         "grava o mês de demonstração na base (grande: 20.000 notas, 10.000 produtos)",
         [&opcoes](const cli::Arguments& a, cli::Context& c) { return Preenche(opcoes, a, c); }});
  return d.Run(args, context);
}
