#include "ecf_sim/frame.h"

#include <gtest/gtest.h>

namespace ecf_sim {
namespace {

struct Case {
  const char* name;
  std::vector<std::string> feeds;
  std::vector<std::string> commands;  // complete requests expected, in order
  std::string last_params;
};

TEST(FrameAssembler, CutsRequestsOutOfTheByteStream) {
  auto f = [](const std::string& pkt, const std::string& cmd, const std::string& params) {
    std::string inside = pkt + ";" + cmd + ";" + params + ";";
    return "{" + inside + std::to_string(inside.size()) + "}";
  };
  std::string item = f("12", "LeIndicador", "NomeIndicador=\"SemPapel\"");
  std::string hora = f("7", "LeData", "NomeData=\"Data\"");
  const Case cases[] = {
      {"plain",
       {"{12;LeIndicador;NomeIndicador=\"SemPapel\";40}"},
       {"LeIndicador"},
       "NomeIndicador=\"SemPapel\""},
      {"noise before",
       {"\xFF\x01zz" + f("3", "LeHora", "NomeHora=\"Hora\"")},
       {"LeHora"},
       "NomeHora=\"Hora\""},
      {"brace inside a free text",
       {f("5", "ImprimeTexto", "TextoLivre=\"a}b\"")},
       {"ImprimeTexto"},
       "TextoLivre=\"a}b\""},
      {"split across reads",
       {hora.substr(0, 5), hora.substr(5, 12), hora.substr(17)},
       {"LeData"},
       "NomeData=\"Data\""},
      {"two in one read",
       {f("1", "AbreGaveta", "") + f("2", "CortaPapel", "TipoCorte=0")},
       {"AbreGaveta", "CortaPapel"},
       "TipoCorte=0"},
      {"a frame cut short, then a whole one",
       {"{4;LeHo" + f("5", "AbreGaveta", "")},
       {"AbreGaveta"},
       ""},
      {"wrong length is not a frame", {"{1;AbreGaveta;;99}"}, {}, ""},
      {"braces of noise, then a frame",
       {std::string(3000, '{') + std::string(3000, '}') + "{;;}{1;;;2}" +
        f("6", "LeHora", "NomeHora=\"Hora\"")},
       {"LeHora"},
       "NomeHora=\"Hora\""},
      {"noise fed a byte at a time, then a frame in pieces",
       {"{9;X", "}", "{", "}", "}{", "{;", f("8", "AbreGaveta", "").substr(0, 4),
        f("8", "AbreGaveta", "").substr(4)},
       {"AbreGaveta"},
       ""},
      {"an older request wins over one inside it",
       {"{3;ImprimeTexto;TextoLivre=\"" + f("4", "CortaPapel", "") + "\";" +
        std::to_string(
            std::string("3;ImprimeTexto;TextoLivre=\"" + f("4", "CortaPapel", "") + "\";").size()) +
        "}"},
       {"ImprimeTexto"},
       "TextoLivre=\"" + f("4", "CortaPapel", "") + "\""},
  };
  EXPECT_EQ(item, "{12;LeIndicador;NomeIndicador=\"SemPapel\";40}");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FrameAssembler a;
    std::vector<Request> got;
    for (const auto& f : c.feeds) {
      a.feed(f);
      while (auto r = a.next()) got.push_back(*r);
    }
    ASSERT_EQ(got.size(), c.commands.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].command, c.commands[i]);
    if (!got.empty()) {
      EXPECT_EQ(got.back().params, c.last_params);
    }
  }
}

TEST(FrameAssembler, ReplyLengthCountsFromPacketToThirdSeparator) {
  EXPECT_EQ(build_reply("7", "0", "ValorInteiro=-15"), "{7;0;ValorInteiro=-15;21}");
  EXPECT_EQ(build_reply("12", "0", ""), "{12;0;;6}");
}

}  // namespace
}  // namespace ecf_sim
