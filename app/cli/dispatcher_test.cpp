#include "dispatcher.h"

#include <gtest/gtest.h>

#include <sstream>

namespace cli {
namespace {

struct Outcome {
  int code;
  std::string out;
  std::string err;
};

Outcome RunWith(const Dispatcher& d, const Arguments& args) {
  std::ostringstream out, err;
  Context context{out, err};
  int code = d.Run(args, context);
  return {code, out.str(), err.str()};
}

Dispatcher Sample(std::string program = "tributarium-cli") {
  Dispatcher d(std::move(program));
  d.Add({{"grupo", "eco"}, "TEXTO", "repete", [](const Arguments& a, Context& c) {
           RequireArguments(a, 1);
           c.out << a[0];
           return kExitSuccess;
         }});
  d.Add(
      {{"grupo", "eco", "duplo"}, "TEXTO", "repete duas vezes", [](const Arguments& a, Context& c) {
         RequireArguments(a, 1);
         c.out << a[0] << a[0];
         return kExitSuccess;
       }});
  d.Add({{"falha"}, "", "erro", [](const Arguments&, Context&) -> int {
           throw std::runtime_error("Não deu.");
         }});
  return d;
}

TEST(DispatcherTest, MapsCommandsAndErrorsToExitCodes) {
  struct Case {
    Arguments args;
    int code;
    std::string out;
    std::string err_start;
  };
  const Case cases[] = {
      {{"grupo", "eco", "x"}, kExitSuccess, "x", ""},
      {{"grupo", "eco", "duplo", "y"}, kExitSuccess, "yy", ""},  // the longest name wins
      {{"falha"}, kExitFailure, "", "Não deu.\n"},
      {{"grupo", "eco"}, kExitUsage, "", "argumentos faltando\nuso: tributarium-cli grupo eco"},
      {{"grupo", "eco", "a", "b"}, kExitUsage, "", "argumentos demais\n"},
      {{"grupo"}, kExitUsage, "", "comando desconhecido: grupo\nuso:"},
      {{}, kExitUsage, "", "uso: tributarium-cli"},
      {{"--config", "x", "grupo", "eco", "x"}, kExitUsage, "", "opção desconhecida: --config"},
  };
  Dispatcher d = Sample();
  for (const Case& c : cases) {
    Outcome o = RunWith(d, c.args);
    std::string name = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(o.code, c.code) << name;
    EXPECT_EQ(o.out, c.out) << name;
    EXPECT_EQ(o.err.substr(0, c.err_start.size()), c.err_start) << name;
  }
}

TEST(DispatcherTest, HelpListsEveryCommandOnStandardOutput) {
  Outcome o = RunWith(Sample(), {"--help"});
  EXPECT_EQ(o.code, kExitSuccess);
  EXPECT_NE(o.out.find("grupo eco TEXTO"), std::string::npos);
  EXPECT_NE(o.out.find("grupo eco duplo TEXTO"), std::string::npos);
  EXPECT_EQ(o.err, "");
}

// tributarium-demo-dados shares the table: its texts name it, not tributarium-cli.
TEST(DispatcherTest, UsageTextsNameTheProgramThatRuns) {
  const Dispatcher d = Sample("tributarium-demo-dados");
  EXPECT_EQ(RunWith(d, {"--help"}).out.rfind("uso: tributarium-demo-dados COMANDO", 0), 0u);
  EXPECT_EQ(RunWith(d, {"grupo", "eco"}).err,
            "argumentos faltando\nuso: tributarium-demo-dados grupo eco TEXTO\n");
}

}  // namespace
}  // namespace cli
