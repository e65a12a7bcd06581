// A month's reading from the fiscal printer end to end, as the program does it: the
// virtual printer on a pseudo-terminal with the month sold, the reading worker with the
// real driver and libraries. Seconds for the memory reading, the conversion into the
// Ato 17 file and the driver's export, beside the wire time of the same bytes at 115200
// baud (bytes x 10 / 115200), the floor a real serial line sets.
//   bench_ecf_reading LIBORVIK [days] [coupons per day]
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ecf/gera_sintegra_thread.h"
#include "ecf/tdm.h"
#include "ecf_sim/server.h"
#include "shop_month.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "uso: bench_ecf_reading LIBORVIK [dias] [cupons por dia]\n");
    return 2;
  }
  const fs::path driver = fs::absolute(argv[1]);
  const int days = argc > 2 ? std::atoi(argv[2]) : 31;
  const int per_day = argc > 3 ? std::atoi(argv[3]) : 323;

  char pattern[] = "/tmp/bench_ecf_reading_XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;

  ecf_sim::Printer printer;
  ecf_sim::Server server(printer);
  ecf_month::ShopMonth shop;
  const auto sell_start = Clock::now();
  try {
    printer.set_clock({{2026, 6, 30}, 8, 0, 0});
    shop.Program(printer);
    // A 31-day month: July.
    for (int d = 1; d <= days; ++d)
      shop.SellDay(printer, {2026, 7, d}, per_day, d % 10 == 3 ? 0 : -1);
    printer.set_clock({{2026, 8, 1}, 9, 0, 0});
  } catch (const std::exception& e) {
    std::fprintf(stderr, "venda: %s\n", e.what());
    return 1;
  }
  const double sell_s = std::chrono::duration<double>(Clock::now() - sell_start).count();
  size_t items = 0;
  for (const auto& d : shop.Days()) items += d.items.size();

  std::string error;
  if (!server.open_pty(&error)) {
    std::fprintf(stderr, "pty: %s\n", error.c_str());
    return 1;
  }
  server.start();
  std::ofstream(dir / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir.string()
      << "/\r\n[Portas]\r\nCOM1=" << server.slave_path() << "\r\n";
  ::setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);

  ecf::TGeraSintegraThread w;
  w.Porta = "COM1";
  w.MascaraRegistros = 4 | 8 | 16;
  w.Mes = "7";
  w.Ano = "2026";
  w.ArquivoSaida = ecf::NomeArquivoSaida(7, 2026);
  w.DiretorioSintegra = (dir / "Sintegra").string();
  w.Driver = driver;
  w.PastaPrograma = dir;
  w.Proprietario = {"MERCEARIA BOA VISTA",
                    "RUA DAS FLORES",
                    "120",
                    "",
                    "CENTRO",
                    "CAMPINAS",
                    "13010000",
                    "1932321000",
                    "",
                    "JOSE"};

  const auto start = Clock::now();
  Clock::time_point conversion{}, exporting{};
  std::thread t([&w] { w.Executa(); });
  for (;;) {
    const ecf::SituacaoLeitura s = w.Situacao();
    const auto now = Clock::now();
    if (s.Terminado) break;
    if (conversion == Clock::time_point{} && s.Status >= ecf::kIniciandoRFD) conversion = now;
    if (exporting == Clock::time_point{} && s.MensagemStatus == "Gerando arquivo sintegra...")
      exporting = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  t.join();
  const auto end = Clock::now();
  server.stop();
  if (!w.Resultado()) {
    std::fprintf(stderr, "leitura: %s\n", w.Situacao().MensagemStatus.c_str());
    return 1;
  }
  if (exporting == Clock::time_point{}) exporting = end;
  if (conversion == Clock::time_point{}) conversion = exporting;
  auto secs = [](Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
  };

  std::uintmax_t tdm = 0, ato17 = 0, out = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir / "Sintegra", ec)) {
    if (e.path().extension() == ".TDM") tdm = e.file_size(ec);
    if (e.path().extension() == ".txt") ato17 = e.file_size(ec);
  }
  out = fs::file_size(w.ArquivoSaida, ec);
  // The memory image crosses the line as hexadecimal text, two characters a byte, in
  // replies of 2048 characters that each cost a request and a frame (about 60 bytes).
  const double wire = 2.0 * static_cast<double>(tdm) + (2.0 * tdm / 2048 + 3) * 60;
  std::printf("month: %d days, %d coupons, %zu items (sold in %.2f s in process)\n", days,
              shop.Coupons(), items, sell_s);
  std::printf("reading (port test, serial, memories into the TDM): %8.2f s  TDM %ju bytes\n",
              secs(start, conversion), tdm);
  std::printf("conversion (TDM -> Ato 17 file):                    %8.2f s  Ato 17 %ju bytes\n",
              secs(conversion, exporting), ato17);
  std::printf("export (driver's Sintegra records from Ato 17):     %8.2f s  Sintegra %ju bytes\n",
              secs(exporting, end), out);
  std::printf("total:                                              %8.2f s\n", secs(start, end));
  std::printf("wire time of the same bytes at 115200 baud: %.0f bytes x 10 / 115200 = %.1f s\n",
              wire, wire * 10 / 115200);
  fs::remove_all(dir, ec);
  return 0;
}
