// ecf_sim_bench: how fast the virtual printer answers.
//   Execute        one command inside the engine (no line)
//   RoundTrip      one command over a pseudo-terminal: frame written, reply frame read;
//                  the reply time after a complete frame is at most this
//   TapeStream     a detail-tape reading of 10,000 documents handed out by LeImpressao
//                  over a pseudo-terminal, as the host's capture loop reads it
#include <benchmark/benchmark.h>

#include <memory>

#include "ecf_sim/server.h"
#include "test_support.h"

namespace {

using ecf_sim::Printer;
using ecf_sim::Server;
using ecf_sim::testing::RawClient;

void fill_day(Printer& p, int coupons) {
  p.execute("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  for (int i = 0; i < coupons; ++i) {
    p.execute("AbreCupomFiscal", "");
    p.execute("VendeItem",
              "CodAliquota=0 CodProduto=\"7891000100103\" NomeProduto=\"ARROZ TIPO 1 5KG\" "
              "PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"UN\"");
    p.execute("VendeItem",
              "CodAliquota=-2 CodProduto=\"123\" NomeProduto=\"CERVEJA LATA\" "
              "PrecoUnitario=3,990 Quantidade=3,000 Unidade=\"Un\"");
    p.execute("PagaCupom", "CodMeioPagamento=-2 Valor=40,00");
    p.execute("EncerraDocumento", "Operador=\"Caixa\"");
  }
}

void Execute(benchmark::State& state) {
  Printer p;
  for (auto _ : state) {
    auto r = p.execute("LeInteiro", "NomeInteiro=\"COO\"");
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(Execute);

void RoundTrip(benchmark::State& state) {
  Printer p;
  Server server(p);
  std::string error;
  if (!server.open_pty(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  server.start();
  RawClient client(server.slave_path());
  for (auto _ : state) {
    auto a = client.send("LeMoeda", "NomeDadoMonetario=\"GT\"");
    if (!a.complete) state.SkipWithError("no reply");
  }
  server.stop();
}
BENCHMARK(RoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

void TapeStream(benchmark::State& state) {
  Printer p;
  fill_day(p, 10000);
  p.set_chunk_size(static_cast<std::size_t>(state.range(0)));
  Server server(p);
  std::string error;
  if (!server.open_pty(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  server.start();
  RawClient client(server.slave_path());
  std::size_t bytes = 0;
  int replies = 0;
  for (auto _ : state) {
    auto a = client.send("EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=10000 Destino=\"S\"");
    if (a.code != 0) state.SkipWithError("reading refused");
    int n = 0;
    bytes += client.read_printout(&n).size();
    replies += n;
  }
  server.stop();
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["replies"] = benchmark::Counter(replies, benchmark::Counter::kAvgIterations);
  state.counters["documents"] = 10000;
}
BENCHMARK(TapeStream)
    ->Arg(2048)
    ->Arg(8192)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
