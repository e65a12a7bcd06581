#include "orvik/core/state.h"

#include <gtest/gtest.h>

#include "common/ini.h"
#include "orvik/core/config.h"
#include "orvik/core/test_folder.h"

namespace orvik::core {
namespace {

struct KeyValue {
  const char* section;
  const char* key;
  const char* value;  // nullptr: the key must be absent
};

struct StartupCase {
  const char* name;
  const char* ini;
  int family;
  int submodel;
  int timeout_commands;
  int line_spacing;
  std::vector<KeyValue> written;
};

// Each case starts from its own ORVIK.INI; Startup() begins from a fresh record.
TEST(Startup, KeyTableEdgeCases) {
  const StartupCase cases[] = {
      {"defaults",
       "",
       0,
       0,
       10,
       7,
       {{"Sistema", "ModeloImp", "ORVIK_KAP"},
        {"Sistema", "TimeOutComandos", "10"},
        {"Sistema", "TimeOutRedZ", "40"},
        {"Sistema", "EspacamentoDocumentos", "7"},
        {"Sistema", "ChecaCTS", "1"},
        {"Sistema", "CorrigeRelogioZ", "1"},
        {"Sistema", "HabilitaICMSCupom", "0"},
        {"Sistema", "SANGRIA", "1"},
        {"Sistema", "SUPRIMENTO", "0"},
        {"Sistema", "LMFAutomatico", "0"},
        {"Sistema", "Porta", "COM1"},
        {"Sistema", "BAUD", nullptr},
        {"Sistema", "HabilitaCorte", nullptr},
        {"Sistema", "ConfigRede", nullptr}}},
      {"model in lower case",
       "[Sistema]\r\nModeloImp=orvik_610\r\n",
       0,
       0,
       10,
       7,
       {{"Sistema", "ModeloImp", "orvik_610"}}},
      {"unknown model",
       "[Sistema]\r\nModeloImp=OTHER\r\n",
       0,
       0,
       10,
       7,
       {{"Sistema", "ModeloImp", "OTHER"}}},
      {"820", "[Sistema]\r\nModeloImp=ORVIK_820\r\n", 2, 0, 10, 7, {}},
      {"610", "[Sistema]\r\nModeloImp=ORVIK_610\r\n", 1, 0, 10, 7, {}},
      {"R7 reads HabilitaCorte",
       "[Sistema]\r\nModeloImp=ORVIK_R7\r\nHabilitaCorte=x\r\n",
       0,
       2,
       10,
       7,
       {{"Sistema", "HabilitaCorte", "0"}}},
      {"cheque model",
       "[Sistema]\r\nModeloImp=ORVIK_QM4100XR\r\nHabilitaCorte=01\r\n",
       0,
       1,
       10,
       7,
       {{"Sistema", "HabilitaCorte", "1"}}},
      {"vuno lpt",
       "[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\n",
       4,
       0,
       10,
       7,
       {{"Sistema", "Porta", "LPT1"}}},
      {"vuno serial", "[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\n", 5, 0, 10, 7, {}},
      {"timeout 3 raised to 5",
       "[Sistema]\r\nTimeOutComandos=3\r\n",
       0,
       0,
       5,
       7,
       {{"Sistema", "TimeOutComandos", "5"}}},
      {"timeout not a number",
       "[Sistema]\r\nTimeOutComandos=x\r\n",
       0,
       0,
       10,
       7,
       {{"Sistema", "TimeOutComandos", "10"}}},
      {"timeout negative",
       "[Sistema]\r\nTimeOutComandos=-20\r\n",
       0,
       0,
       5,
       7,
       {{"Sistema", "TimeOutComandos", "5"}}},
      {"spacing not a number",
       "[Sistema]\r\nEspacamentoDocumentos=x\r\n",
       0,
       0,
       10,
       7,
       {{"Sistema", "EspacamentoDocumentos", "7"}}},
      {"spacing zero",
       "[Sistema]\r\nEspacamentoDocumentos=0\r\n",
       0,
       0,
       10,
       0,
       {{"Sistema", "EspacamentoDocumentos", "0"}}},
      {"flags normalised",
       "[Sistema]\r\nChecaCTS=abc\r\nCorrigeRelogioZ=2\r\nHabilitaICMSCupom=yes\r\n"
       "LMFAutomatico=5\r\nTimeOutRedZ=zz\r\n",
       0,
       0,
       10,
       7,
       {{"Sistema", "ChecaCTS", "0"},
        {"Sistema", "CorrigeRelogioZ", "1"},
        {"Sistema", "HabilitaICMSCupom", "0"},
        {"Sistema", "LMFAutomatico", "1"},
        {"Sistema", "TimeOutRedZ", "40"}}},
  };
  for (const StartupCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder folder;
    folder.WriteIni(c.ini);
    Startup();
    const DriverState& s = State();
    EXPECT_EQ(s.model_family, c.family);
    EXPECT_EQ(s.lumvar_submodel, c.submodel);
    EXPECT_EQ(s.timeout_commands, c.timeout_commands);
    EXPECT_EQ(s.line_spacing, c.line_spacing);
    common::IniFile ini(folder.ini());
    for (const KeyValue& kv : c.written) {
      auto found = ini.find(kv.section, kv.key);
      if (kv.value) {
        EXPECT_EQ(found.value_or("<absent>"), kv.value) << kv.key;
      } else {
        EXPECT_FALSE(found) << kv.key;
      }
    }
  }
}

TEST(Startup, FlagsAndTextsFromTheFile) {
  TestFolder folder;
  folder.WriteIni(
      "; kept\r\n[Sistema]\r\nHomologar=1\r\nHabilitaICMSCupom=1\r\nConfigRede=1\r\n"
      "IdAplicativo=Caixa 3\r\nDINHEIRO=2x\r\nLMFAutomatico=1\r\n[ECF]\r\nUF=rj\r\n"
      "[Flags]\r\nGerencial=1\r\nLMFAUT_UltimaData=05/2026\r\nCupomManiaLido=1\r\n"
      "[Other]\r\nKeep=me\r\n");
  State().operator_name = "left over";
  Startup();
  const DriverState& s = State();
  EXPECT_TRUE(s.logging);
  EXPECT_TRUE(s.icms_on_coupon);
  EXPECT_TRUE(s.rj_coupon_text);
  EXPECT_EQ(s.network_mode, 1);
  EXPECT_EQ(s.application_id, "Caixa 3");
  EXPECT_EQ(s.dinheiro, 0);
  EXPECT_EQ(s.gerencial_open, 1);
  EXPECT_TRUE(s.lmf_automatic);
  EXPECT_FALSE(s.lmf_done);
  EXPECT_EQ(s.lmfaut_ultima_data, "05/2026");
  EXPECT_TRUE(s.cupom_mania_lido);
  EXPECT_EQ(s.operator_name, "");
  EXPECT_EQ(s.port1.handle, -1);
  EXPECT_TRUE(s.rfd_emit_lmf);
  EXPECT_TRUE(s.tdm_flag);
  EXPECT_FALSE(s.rfd_storage);
  // Write-backs change their keys only.
  const std::string text = folder.Read("ORVIK.INI");
  EXPECT_EQ(text.rfind("; kept\r\n[Sistema]\r\nHomologar=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("[Other]\r\nKeep=me\r\n"), std::string::npos);
  EXPECT_NE(text.find("Gerencial=1\r\n"), std::string::npos);
}

TEST(Startup, PathDefaultsToTheCurrentFolderAndKeepsItsValue) {
  TestFolder folder;
  Startup();
  EXPECT_EQ(State().path_directory, folder.slash());
  EXPECT_EQ(common::IniFile(folder.ini()).read("Sistema", "Path"), folder.slash());

  folder.WriteIni("[Sistema]\r\nPath=/var/tmp\r\n");
  Startup();
  EXPECT_EQ(State().path_directory, "/var/tmp/");
  EXPECT_EQ(common::IniFile(folder.ini()).read("Sistema", "Path"), "/var/tmp");
}

TEST(Startup, SecondRunStartsFromAFreshRecord) {
  TestFolder folder;
  Startup();
  State().busy = true;
  State().last_return_code = -5;
  State().return_value = "x";
  Startup();
  EXPECT_FALSE(State().busy);
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_EQ(State().return_value, "");
}

TEST(ConfigLookup, FirstFolderHoldingTheFileInAnyCase) {
  TestFolder a, b, c;
  EXPECT_EQ(LookUpConfig({a.path(), b.path()}), a.path() / "ORVIK.INI");
  c.Write("orvik.ini", "");
  EXPECT_EQ(LookUpConfig({a.path(), b.path(), c.path()}), c.path() / "orvik.ini");
  b.Write("Orvik.Ini", "");
  EXPECT_EQ(LookUpConfig({a.path(), b.path(), c.path()}), b.path() / "Orvik.Ini");
}

TEST(ConfigLookup, EnvironmentNamesTheFileItself) {
  TestFolder folder;
  ::setenv("ORVIK_INI", (folder.path() / "custom.cfg").c_str(), 1);
  EXPECT_EQ(ConfigPath(), folder.path() / "custom.cfg");
  EXPECT_TRUE(Config().write("Sistema", "Porta", "COM2"));
  EXPECT_EQ(folder.Read("custom.cfg"), "[Sistema]\r\nPorta=COM2\r\n");
}

}  // namespace
}  // namespace orvik::core
