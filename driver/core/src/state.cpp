#include "orvik/core/state.h"

#include <string>

#include "common/files.h"
#include "common/host_files.h"
#include "common/text1252.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/text_forms.h"

namespace orvik::core {
namespace {

struct ModelEntry {
  const char* name;
  uint8_t family;
  int submodel;
};

// Compared exactly, letter case included; any other name keeps family 0, sub-model 0.
constexpr ModelEntry kModels[] = {
    {"ORVIK_KAP", 0, 0},      {"ORVIK_820", 2, 0},      {"ORVIK_610", 1, 0},
    {"ORVIK_R7", 0, 2},       {"ORVIK_VUNO_LPT", 4, 0}, {"ORVIK_VUNO_SERIAL", 5, 0},
    {"ORVIK_QM4100XR", 0, 1},
};

const char* OneOrZero(bool on) {
  return on ? "1" : "0";
}

}  // namespace

DriverState& State() {
  static DriverState state;
  return state;
}

void Startup() {
  DriverState& s = State();
  // A re-run (tests) must not leak a port the previous record left open.
  ClosePort(1);
  ClosePort(2);
  // Step 1: a fresh record; operator, CupomManiaValorAux and every flag start empty/off.
  s = DriverState{};
  s.check_cts = false;
  s.correct_clock_z = false;
  s.rfd_emit_lmf = false;
  s.tdm_flag = false;
  s.cupom_mania_valor_aux.clear();
  s.operator_name.clear();

  // Step 2: the model.
  common::IniFile ini = Config();
  s.model_name = ini.read("Sistema", "ModeloImp", "ORVIK_KAP");
  ini.write("Sistema", "ModeloImp", s.model_name);
  for (const ModelEntry& m : kModels) {
    if (s.model_name == m.name) {
      s.model_family = m.family;
      s.lumvar_submodel = m.submodel;
    }
  }

  // Step 3: log and debug switches.
  s.logging = ini.read("Sistema", "Homologar", "0") != "0";
  s.debug = ini.read("Sistema", "DEBUGGER", "0") != "0";

  // Step 4: ports and Path.
  ReadPortSettings();

  // Step 5: the remaining keys, in this order.
  s.network_mode = ParseInteger(ini.read("Sistema", "ConfigRede", "0"), 0);
  const std::string path_rfd = ini.read("Sistema", "PathRFD", "");
  const std::filesystem::path host_files = common::host_files_folder();
  s.path_rfd = path_rfd.empty() ? common::with_trailing_slash(host_files.string()) + "RFD/"
                                : common::with_trailing_slash(path_rfd);
  // Installed where the user may not write, the working files go elsewhere: said once.
  if (host_files != common::executable_folder())
    Log(common::utf8_to_cp1252("Pasta de trabalho do usuário: ") +
        common::with_trailing_slash(host_files.string()));
  s.dinheiro = ParseInteger(ini.read("Sistema", "DINHEIRO", "0"), 0);
  s.icms_on_coupon = ini.read("Sistema", "HabilitaICMSCupom", "0") == "1";
  ini.write("Sistema", "HabilitaICMSCupom", OneOrZero(s.icms_on_coupon));
  s.uf = ini.read("ECF", "UF", "");
  s.rj_coupon_text = common::cp1252_upper(s.uf) == "RJ" && s.icms_on_coupon;
  s.cupom_mania_total_imp = ini.read("Flags", "CupomManiaTotalImp", "0.00");
  s.application_id = ini.read("Sistema", "IdAplicativo", "");
  s.timeout_redz = ParseInteger(ini.read("Sistema", "TimeOutRedZ", "40"), 40);
  ini.write("Sistema", "TimeOutRedZ", std::to_string(s.timeout_redz));
  s.timeout_commands = ParseInteger(ini.read("Sistema", "TimeOutComandos", "10"), 10);
  if (s.timeout_commands < 5) s.timeout_commands = 5;
  ini.write("Sistema", "TimeOutComandos", std::to_string(s.timeout_commands));
  s.line_spacing = ParseInteger(ini.read("Sistema", "EspacamentoDocumentos", "7"), 7);
  ini.write("Sistema", "EspacamentoDocumentos", std::to_string(s.line_spacing));
  if (s.lumvar_submodel != 0) {
    s.habilita_corte = std::to_string(ParseInteger(ini.read("Sistema", "HabilitaCorte", "0"), 0));
    ini.write("Sistema", "HabilitaCorte", s.habilita_corte);
  }
  s.check_cts = ParseInteger(ini.read("Sistema", "ChecaCTS", "1"), 0) != 0;
  ini.write("Sistema", "ChecaCTS", OneOrZero(s.check_cts));
  s.correct_clock_z = ParseInteger(ini.read("Sistema", "CorrigeRelogioZ", "1"), 0) != 0;
  ini.write("Sistema", "CorrigeRelogioZ", OneOrZero(s.correct_clock_z));
  s.gerencial_open = ParseInteger(ini.read("Flags", "Gerencial", "0"), 0);
  s.sangria = ini.read("Sistema", "SANGRIA", "1");
  ini.write("Sistema", "SANGRIA", s.sangria);
  s.suprimento = ini.read("Sistema", "SUPRIMENTO", "0");
  ini.write("Sistema", "SUPRIMENTO", s.suprimento);
  s.gera_rfd_redz = ini.read("Sistema", "GERA_RFD_REDZ", "0");
  s.modo_gaveta = ini.read("Sistema", "ModoGaveta", "0");
  s.cupom_mania_lido = ParseInteger(ini.read("Flags", "CupomManiaLido", "0"), 0) != 0;
  s.cupom_mania_valor_aux = ini.read("Flags", "CupomManiaValorAux", "0");
  s.lmf_automatic = ParseInteger(ini.read("Sistema", "LMFAutomatico", "0"), 0) != 0;
  ini.write("Sistema", "LMFAutomatico", OneOrZero(s.lmf_automatic));
  s.lmf_done = !s.lmf_automatic;
  s.lmfaut_ultima_data = ini.read("Flags", "LMFAUT_UltimaData", "");

  // Step 6: ports closed, RFD flags at their initial values.
  s.port1.handle = -1;
  s.port2.handle = -1;
  s.rfd_emit_lmf = true;
  s.rfd_storage = false;
  s.tdm_flag = true;
}

}  // namespace orvik::core
