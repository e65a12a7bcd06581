#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "common/files.h"
#include "driver_fixture.h"
#include "leitura/tdm.h"

namespace orvik_testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const char* kSerial = "OR050800000000012345";

class Memories : public DriverOverPty {
 protected:
  // Three days: two coupons and a supply, then one coupon (one of its items cancelled), then
  // a service and a cancelled coupon; a Z closes each day.
  void SellThreeDays() {
    std::lock_guard lock(server.mutex());
    Do("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    Do("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=5,00 AliquotaICMS=false");
    Coupon({{"789", "ARROZ", "12,50", "2,000", "AliquotaICMS=true PercentualAliquota=18,00"},
            {"123", "CERVEJA", "3,990", "3,000", "CodAliquota=-2"}});
    Coupon({{"789", "ARROZ", "12,50", "1,000", "AliquotaICMS=true PercentualAliquota=18,00"}});
    Do("AbreCupomNaoFiscal");
    Do("EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=10,00");
    Do("PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
    Do("EncerraDocumento", "Operador=\"Maria\"");
    Do("EmiteReducaoZ");
    printer.set_clock({{2026, 6, 16}, 9, 0, 0});
    Do("AbreCupomFiscal");
    Item({"555", "FEIJAO", "8,00", "1,000", "AliquotaICMS=true PercentualAliquota=18,00"});
    Item({"789", "ARROZ", "12,50", "1,000", "AliquotaICMS=true PercentualAliquota=18,00"});
    Do("CancelaItemFiscal", "NumItem=1");
    Do("PagaCupom", "CodMeioPagamento=-2 Valor=20,00");
    Do("EncerraDocumento", "Operador=\"Maria\"");
    Do("EmiteReducaoZ");
    printer.set_clock({{2026, 6, 17}, 9, 0, 0});
    Coupon({{"S1", "ENTREGA", "5,00", "1,000", "AliquotaICMS=false PercentualAliquota=5,00"}});
    Coupon({{"789", "ARROZ", "12,50", "1,000", "AliquotaICMS=true PercentualAliquota=18,00"}});
    Do("CancelaCupom");
    Do("EmiteReducaoZ");
  }
  struct Sale {
    const char *code, *name, *price, *quantity, *rate;
  };
  void Do(std::string_view c, std::string_view a = {}) {
    const auto r = printer.execute(c, a);
    ASSERT_TRUE(r.ok()) << c << " " << a << " " << r.results;
  }
  void Item(const Sale& s) {
    Do("VendeItem", std::string(s.rate) + " CodProduto=\"" + s.code + "\" NomeProduto=\"" + s.name +
                        "\" PrecoUnitario=" + s.price + " Quantidade=" + s.quantity +
                        " Unidade=\"UN\"");
  }
  void Coupon(const std::vector<Sale>& items) {
    Do("AbreCupomFiscal");
    for (const auto& s : items) Item(s);
    Do("PagaCupom", "CodMeioPagamento=-2 Valor=100,00");
    Do("EncerraDocumento", "Operador=\"Maria\"");
  }
  Lines Read(const fs::path& file) {
    return common::split_lines(common::read_file(file).value_or("<missing>"));
  }
  struct Status {
    int state = -1, error = -1, size = -1, progress = -1;
    std::string text;
  };
  Status Watch() {
    Status s;
    char text[256] = "";
    EXPECT_EQ(EXPORT(Orvik_LeStatusGeraBinario)(&s.state, &s.error, &s.size, &s.progress, text), 1);
    s.text = text;
    return s;
  }
  Status WaitForEnd() {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    Status s = Watch();
    while ((s.state == 96 || s.state == 112) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
      s = Watch();
    }
    return s;
  }
};

TEST_F(Memories, ThreeDaysThroughTdmAto17PafRjAndSintegra) {
  SellThreeDays();
  Load();
  char file[256] = "";
  ASSERT_EQ(EXPORT(Orvik_GeraRFDBinario)("01/06/2026", "30/06/2026", 1, 0, file), 1) << last();
  EXPECT_EQ(std::string(file), std::string(kSerial) + ".txt");

  // The TDM holds the printer's whole dump.
  const auto tdm_bytes = common::read_file(dir / "Memorias.tdm");
  ASSERT_TRUE(tdm_bytes);
  const auto tdm = leitura::ParseTdm(*tdm_bytes);
  ASSERT_EQ(tdm.error, leitura::TdmError::kNone);
  {
    std::lock_guard lock(server.mutex());
    EXPECT_EQ(tdm.tdm.image, ecf_sim::memory_dump(printer.state()));
  }

  const Lines ato17 = Read(dir / file);
  std::map<std::string, int> kinds;
  for (const auto& l : ato17) kinds[l.substr(0, 3)]++;
  EXPECT_EQ(kinds["E01"], 1);
  EXPECT_EQ(kinds["E12"], 3);
  EXPECT_EQ(kinds["E14"], 5);
  EXPECT_EQ(kinds["E15"], 7);
  EXPECT_EQ(ato17[0].substr(112, 3), "TDM");
  EXPECT_EQ(ato17[0].substr(115, 12), "000001000003");

  // PAF-RJ of it: no fiscal-memory records, E01 says MFD.
  ASSERT_EQ(EXPORT(Orvik_ConverteATO17ParaPAFRJ)(file), 1);
  const Lines paf = Read(dir / (std::string("PAF-RJ_") + file));
  ASSERT_FALSE(paf.empty());
  EXPECT_EQ(paf[0].substr(112, 3), "MFD");
  for (const auto& l : paf) {
    const int record = std::stoi(l.substr(1, 2));
    EXPECT_TRUE(record < 3 || record > 13) << l;
  }

  // The Sintegra records of the month, with the first COO of each day from the printer.
  const std::string target = (dir / "SINTEGRA_OUT.TXT").string();
  ASSERT_EQ(EXPORT(Orvik_RelatorioSintegraMFDBinario)(0x1C, file, target.c_str(), "SUPERMERCADO",
                                                      "RUA", "120", "", "CENTRO", "CAMPINAS",
                                                      "13010000", "1932321000", "", "JOSE"),
            1)
      << last();
  const Lines sintegra = Read(target);
  std::map<std::string, int> records;
  for (const auto& l : sintegra) {
    EXPECT_EQ(l.size(), 126u) << l;
    records[l.substr(0, l.starts_with("60") ? 3 : 2)]++;
  }
  EXPECT_EQ(records["10"], 1);
  EXPECT_EQ(records["11"], 1);
  EXPECT_EQ(records["60M"], 3);
  EXPECT_GT(records["60A"], 0);
  EXPECT_GT(records["60I"], 0);
  EXPECT_GT(records["60D"], 0);
  EXPECT_GT(records["60R"], 0);
  EXPECT_EQ(records["90"], 1);
  EXPECT_EQ(sintegra[0].substr(107, 16), "2026060120260630");
  // Day 1 ends at its Z's COO; day 2 starts one after it (COOReducao[1] + 1).
  std::vector<std::string> first_coos, z_coos;
  for (const auto& l : sintegra)
    if (l.starts_with("60M")) {
      first_coos.push_back(l.substr(36, 6));
      z_coos.push_back(l.substr(42, 6));
    }
  ASSERT_EQ(first_coos.size(), 3u);
  EXPECT_EQ(first_coos[0], "000001");
  EXPECT_EQ(std::stoi(first_coos[1]), std::stoi(z_coos[0]) + 1);
  EXPECT_EQ(std::stoi(first_coos[2]), std::stoi(z_coos[1]) + 1);
  const std::string& trailer = sintegra.back();
  EXPECT_EQ(std::stoi(trailer.substr(52, 8)), static_cast<int>(sintegra.size()));
}

TEST_F(Memories, TheRjReadingWritesThePafRjFile) {
  SellThreeDays();
  Load();
  ASSERT_EQ(EXPORT(Orvik_GeraRFDBinarioRJ)("16062026", "16062026", 1), 1) << last();
  const Lines paf = Read(dir / (std::string("PAF-RJ_") + kSerial + ".txt"));
  ASSERT_GE(paf.size(), 2u);
  EXPECT_EQ(paf[0].substr(112, 3), "MFD");
  EXPECT_EQ(paf[0].substr(115, 12), "000002000002");
}

TEST_F(Memories, ABackgroundReadingIsWatchedToItsEnd) {
  SellThreeDays();
  Load("Homologar=1\r\n");
  ASSERT_EQ(EXPORT(Orvik_LeMemoriasBinario)("fundo.tdm", kSerial, 0), 1) << last();
  const Status s = WaitForEnd();
  EXPECT_EQ(s.state, 256) << s.text;
  EXPECT_EQ(s.error, 0);
  EXPECT_EQ(s.progress, 100);
  EXPECT_GT(s.size, 0);
  EXPECT_TRUE(fs::exists(dir / "fundo.tdm"));
  const std::string log = common::read_file(dir / "LOG.DAT").value_or("");
  EXPECT_NE(
      log.find("Retorno da fun\xE7\xE3o Orvik_LeStatusGeraBinario: CodErro: 0 Situa\xE7\xE3o: 256"),
      std::string::npos);
}

TEST_F(Memories, ReadingFailuresLeaveNoFile) {
  SellThreeDays();
  Load("", "[Leitura]\r\nTempoResposta=1\r\n");
  // A serial that is not the printer's: the library's code comes back.
  EXPECT_EQ(EXPORT(Orvik_LeMemoriasBinario)("errado.tdm", "OR0508XXXXXXXXXXXXXX", 1), 3);
  EXPECT_FALSE(fs::exists(dir / "errado.tdm"));
  EXPECT_EQ(Watch().state, 768);

  // Cancelled mid-way.
  printer.set_chunk_size(64);
  server.inject(ecf_sim::Fault{ecf_sim::Fault::kSlow, 0, 2, 50, {}}, 1000);
  ASSERT_EQ(EXPORT(Orvik_LeMemoriasBinario)("cancelada.tdm", kSerial, 0), 1) << last();
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (Watch().state != 112 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(EXPORT(Orvik_CancelaLeituraBinario)(), 1);
  const Status s = WaitForEnd();
  EXPECT_EQ(s.state, 768);
  EXPECT_EQ(s.error, 7);
  EXPECT_FALSE(fs::exists(dir / "cancelada.tdm"));
  server.clear_faults();

  // A printer that does not answer: the driver's own check answers first.
  server.inject(ecf_sim::Fault{ecf_sim::Fault::kSilence, 0, 2, 0, {}}, 100);
  EXPECT_NE(EXPORT(Orvik_LeMemoriasBinario)("mudo.tdm", kSerial, 1), 1);
  EXPECT_FALSE(fs::exists(dir / "mudo.tdm"));
}

}  // namespace
}  // namespace orvik_testing
