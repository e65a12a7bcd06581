#include "leitura/tdm.h"

#include <gtest/gtest.h>

#include <map>

#include "ecf_sim/printer.h"

namespace leitura {
namespace {

// A small image: two records, the second with an empty field.
std::string SmallImage() {
  auto field = [](std::string_view v) {
    std::string f;
    f += static_cast<char>(v.size() & 0xFF);
    f += static_cast<char>(v.size() >> 8);
    return f + std::string(v);
  };
  auto record = [](char type, const std::string& payload) {
    std::string r(1, type);
    for (int i = 0; i < 4; ++i) r += static_cast<char>((payload.size() >> (8 * i)) & 0xFF);
    return r + payload;
  };
  return std::string("ORVKDMP1") + std::string("\x02\x00\x00\x00", 4) +
         record('I', field("OR0508") + field("MF")) + record('Z', field("1") + field(""));
}

TEST(Tdm, BuildsAndParsesBack) {
  const std::string image = SmallImage();
  const std::string tdm = BuildTdm("OR0508", "20240105103000", 3, image);
  const TdmResult r = ParseTdm(tdm);
  ASSERT_EQ(r.error, TdmError::kNone);
  EXPECT_EQ(r.tdm.serial, "OR0508");
  EXPECT_EQ(r.tdm.datetime, "20240105103000");
  EXPECT_EQ(r.tdm.content, 3u);
  EXPECT_EQ(r.tdm.image, image);
  const DumpResult d = ParseDump(r.tdm.image);
  ASSERT_TRUE(d.ok);
  ASSERT_EQ(d.image.records.size(), 2u);
  EXPECT_EQ(d.image.records[0].type, 'I');
  EXPECT_EQ(d.image.records[0].fields, (std::vector<std::string_view>{"OR0508", "MF"}));
  EXPECT_EQ(d.image.records[1].fields, (std::vector<std::string_view>{"1", ""}));
}

TEST(Tdm, EveryDamageIsAnErrorNeverAPartialResult) {
  const std::string good = BuildTdm("OR0508", "20240105103000", 3, SmallImage());
  auto with = [&](size_t at, std::string_view bytes) {
    std::string t = good;
    t.replace(at, bytes.size(), bytes);
    return t;
  };
  const size_t after_serial = 10 + 6;
  const size_t image_length_at = after_serial + 14 + 4;
  const struct {
    const char* name;
    std::string bytes;
    TdmError error;
  } cases[] = {
      {"wrong magic", with(0, "ORVKTDM2"), TdmError::kBadMagic},
      {"empty", "", TdmError::kBadMagic},
      {"serial length past the end", with(8, std::string("\xFF\x00", 2)), TdmError::kBadSerial},
      {"serial running past the end", with(8, std::string("\x28\x00", 2)).substr(0, 30),
       TdmError::kTruncated},
      {"date not digits", with(after_serial, "2024010510300X"), TdmError::kBadDate},
      {"image length past the end", with(image_length_at, std::string("\xFF\xFF\xFF\x7F", 4)),
       TdmError::kTruncated},
      {"trailing byte", good + "x", TdmError::kTrailing},
      {"flipped image byte", with(image_length_at + 4 + 13, "J"), TdmError::kBadChecksum},
      {"bad checksum", with(good.size() - 1, "\x01"), TdmError::kBadChecksum},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTdm(c.bytes).error, c.error) << c.name;
  // Every cut of a good file is refused.
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_NE(ParseTdm(std::string_view(good).substr(0, n)).error, TdmError::kNone) << n;
}

TEST(Tdm, ACheckedTdmWhoseImageIsNotADumpIsRefused) {
  EXPECT_EQ(ParseTdm(BuildTdm("S", "20240105103000", 3, "not a dump")).error, TdmError::kBadImage);
}

TEST(Dump, LengthsPastTheEndAndHonestCountsOnly) {
  const std::string good = SmallImage();
  auto with = [&](size_t at, std::string_view bytes) {
    std::string t = good;
    t.replace(at, bytes.size(), bytes);
    return t;
  };
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"count of four billion", with(8, std::string("\xFF\xFF\xFF\xFF", 4))},
      {"one record more than there is", with(8, std::string("\x03\x00\x00\x00", 4))},
      {"payload past the end", with(13, std::string("\xFF\xFF\x00\x00", 4))},
      {"field past its payload", with(17, std::string("\xFF\x00", 2))},
      {"half a field length", with(13, std::string("\x0B\x00\x00\x00", 4))},
      {"bytes after the last record", good + "Z"},
      {"wrong magic", with(0, "ORVKDMP2")},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParseDump(c.bytes).ok) << c.name;
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(ParseDump(std::string_view(good).substr(0, n)).ok) << n;
}

TEST(Dump, ProgressCountsCompleteRecordsAsBytesArrive) {
  const std::string image = SmallImage();
  DumpProgress progress;
  EXPECT_EQ(progress.Update(image.substr(0, 11)), 0);
  EXPECT_EQ(progress.Update(image.substr(0, 12)), 0);
  EXPECT_EQ(progress.announced(), 2u);
  EXPECT_EQ(progress.Update(image.substr(0, 12 + 5 + 12)), 50);
  EXPECT_EQ(progress.Update(image), 100);
}

// The printer's own dump parses, and carries what an Ato 17 file needs.
TEST(Dump, ThePrintersDumpCarriesTheFieldsAddedAtRecordEnds) {
  ecf_sim::Printer p;
  auto run = [&](std::string_view c, std::string_view a = {}) {
    const auto r = p.execute(c, a);
    ASSERT_TRUE(r.ok()) << c << " " << r.results;
  };
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  run("AbreCupomFiscal");
  run("VendeItem",
      "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"789\" NomeProduto=\"ARROZ\" "
      "PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"UN\"");
  run("PagaCupom", "CodMeioPagamento=-2 Valor=30,00");
  run("EncerraDocumento", "Operador=\"Maria\"");
  run("AbreCupomNaoFiscal");
  run("EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=10,00");
  run("PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
  run("EncerraDocumento", "Operador=\"Maria\"");
  run("EmiteReducaoZ");
  const std::string image = ecf_sim::memory_dump(p.state());
  const DumpResult d = ParseDump(image);
  ASSERT_TRUE(d.ok);
  std::map<char, std::vector<const DumpRecord*>> by;
  for (const auto& r : d.image.records) by[r.type].push_back(&r);
  ASSERT_EQ(by['I'].size(), 1u);
  const auto& id = by['I'][0]->fields;
  ASSERT_EQ(id.size(), 35u);
  EXPECT_EQ(id[34], "S");                                           // ISSQN discount allowed
  EXPECT_EQ(id[22], "1");                                           // ECF sequence number
  EXPECT_EQ(std::string(id[23]).append(id[24]), "20260105090000");  // firmware installed
  EXPECT_EQ(std::string(id[25]).append(id[26]).append(id[27]), "202601050930001");  // registration
  EXPECT_EQ(id[28], "R$");
  EXPECT_EQ(id[31], "ABCDEFGHIJ");
  ASSERT_EQ(by['R'].size(), 1u);
  EXPECT_EQ(by['R'][0]->fields, (std::vector<std::string_view>{"1", "20260105", "093000", "N"}));
  ASSERT_EQ(by['Z'].size(), 1u);
  EXPECT_EQ(by['Z'][0]->fields.back(), "OPNF=1000");
  bool supply = false;
  for (const auto* n : by['N'])
    if (n->fields[2] == "Suprimento") supply = n->fields[3] == "1000";
  EXPECT_TRUE(supply);
  ASSERT_FALSE(by['M'].empty());
  EXPECT_EQ(by['M'][0]->fields[1], "-2");
  EXPECT_EQ(by['M'][0]->fields[3], "4000");  // cash received: 30,00 + 10,00 (change apart)
  EXPECT_EQ(by['M'].back()->fields, (std::vector<std::string_view>{"1", "TR", "TROCO", "500"}));
  EXPECT_EQ(by['D'][0]->fields.back(), "500");  // the coupon's change
}

}  // namespace
}  // namespace leitura
