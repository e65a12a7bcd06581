#pragma once
// The one process-wide record of the driver: model family, ports, status, last result,
// return values and every configuration flag read at load. Exports are called from one
// thread at a time, so the record is not locked.
#include <cstdint>
#include <string>

namespace orvik::core {

// One numbered port (1 the printer, 2 the scale).
struct PortSlot {
  int handle = -1;     // open device handle; -1 when closed
  std::string device;  // device path opened (from [Portas] or /dev/ttyS(n-1), /dev/parport(n-1))
  std::string speed;   // decimal bits per second
};

struct DriverState {
  // Model: 0 Lumvar, 1 and 2 QVX, 4 non-fiscal printer on LPT, 5 non-fiscal printer on COM.
  uint8_t model_family = 0;
  int lumvar_submodel = 0;  // 0 default, 1 cheque-capable, 2 R7
  std::string model_name = "ORVIK_KAP";

  PortSlot port1;
  PortSlot port2;
  std::string port_name;  // [Sistema] Porta as written back: "COMn", "LPTn" or a device path
  int port_number = 1;    // the n of port_name
  // Parallel port registers (family 4): base and the two following addresses.
  int lpt_base = 0x378, lpt_base1 = 0x379, lpt_base2 = 0x37A;

  std::string path_directory;  // [Sistema] Path with a trailing '/'
  int network_mode = 0;        // [Sistema] ConfigRede; 1 = exchange through files

  int ack = 0, st1 = 0, st2 = 0;
  int last_return_code = 0;
  std::string last_message;
  std::string return_value;
  std::string second_return_value;

  std::string operator_name;
  std::string application_id;  // [Sistema] IdAplicativo
  int line_spacing = 7;        // [Sistema] EspacamentoDocumentos
  int timeout_redz = 40;       // seconds, [Sistema] TimeOutRedZ
  int timeout_commands = 10;   // seconds, [Sistema] TimeOutComandos

  // Flags.
  bool logging = false;           // [Sistema] Homologar
  bool debug = false;             // [Sistema] DEBUGGER
  bool check_cts = true;          // [Sistema] ChecaCTS
  bool correct_clock_z = true;    // [Sistema] CorrigeRelogioZ
  bool icms_on_coupon = false;    // [Sistema] HabilitaICMSCupom
  bool rj_coupon_text = false;    // [ECF] UF "RJ" and ICMS-on-coupon
  int gerencial_open = 0;         // [Flags] Gerencial: a gerencial report was left open
  bool lmf_automatic = false;     // [Sistema] LMFAutomatico
  bool lmf_done = false;          // this process's automatic reading is done (or not wanted)
  bool lmf_running = false;       // the automatic reading is in progress
  bool busy = false;              // a Lumvar command is in progress
  bool keep_port_open = false;    // print capture keeps port 1 open between commands
  bool cupom_mania_lido = false;  // [Flags] CupomManiaLido

  // RFD conversion flags.
  bool rfd_emit_lmf = true;
  bool rfd_storage = false;
  bool tdm_flag = true;

  // Configuration strings.
  int dinheiro = 0;                  // [Sistema] DINHEIRO
  std::string sangria = "1";         // [Sistema] SANGRIA
  std::string suprimento = "0";      // [Sistema] SUPRIMENTO
  std::string gera_rfd_redz = "0";   // [Sistema] GERA_RFD_REDZ
  std::string modo_gaveta = "0";     // [Sistema] ModoGaveta
  std::string habilita_corte = "0";  // [Sistema] HabilitaCorte
  std::string path_rfd;              // [Sistema] PathRFD with a trailing '/'
  std::string uf;                    // [ECF] UF as read
  std::string cupom_mania_total_imp = "0.00";
  std::string cupom_mania_valor_aux;
  std::string lmfaut_ultima_data;  // [Flags] LMFAUT_UltimaData, MM/YYYY

  // Outputs of the Lumvar engine (see orvik/lumvar/engine.h).
  std::string raw_result;    // results text of the last reply, as received
  std::string read_value;    // value extracted from the last successful read
  std::string read_code;     // code going with the read value (payment and non-fiscal reads)
  std::string read_flag;     // first character of PermiteVinculado (payment reads)
  int rate_kind_filter = 0;  // 0 none; 1-2 keep service-tax rates, 3-4 keep ICMS rates
};

// The one process-wide record.
DriverState& State();

// The load-time steps: reads ORVIK.INI into a fresh state and writes back the keys that
// are written back at load. Calling it again starts over from a fresh state.
void Startup();

}  // namespace orvik::core
