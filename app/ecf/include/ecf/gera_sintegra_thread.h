#pragma once
// The ECF reading worker: opens the printer through the driver (loaded for this reading
// only), reads its memories into a TDM file, converts that into the Ato 17 text file and
// has the driver write the month's Sintegra file of type 60 and 75 records from it.
// Plain C++: the dialog runs Executa on a thread of its own, the command line too, and
// both read Situacao() while they wait.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ecf {

struct Instantaneo;
class TTDM;

// The owner's texts handed to the driver (UTF-8 here, Windows-1252 at the call).
struct TextosProprietario {
  std::string RazaoSocial, Logradouro, Numero, Complemento, Bairro, Cidade, Cep, Telefone, Fax,
      Contato;
};

// What the worker shows while it runs.
struct SituacaoLeitura {
  int Status = 0;
  std::string MensagemStatus;
  int Percentual = 0;  // of the current step, from the library's status
  bool Terminado = false;
};

class TGeraSintegraThread {
 public:
  // Parameters, set before Executa.
  std::string Porta;
  int MascaraRegistros = 0;
  std::string Mes, Ano;
  TextosProprietario Proprietario;
  // At first the bare file name (Sintegra-M_YYYY.txt); the full output path after success.
  std::string ArquivoSaida;
  std::string DiretorioSintegra;
  // The driver to load (its folder is also where the outside libraries are looked for).
  std::filesystem::path Driver;
  // The program's folder: the Ato 17 file is copied there and RFD/ and RFDTEMP/ live there.
  std::filesystem::path PastaPrograma;

  // Time limits of the waits. Each wait also ends at once on a failure state; the
  // reading's limit counts from the last change of its status, so a long reading that
  // keeps reporting progress is never cut short.
  int LimiteInicioMs = 60'000;
  int LimiteSilencioMs = 120'000;
  int LimiteConversaoMs = 600'000;
  int IntervaloStatusMs = 200;

  // Outcome: true while running and after success, false after a failure.
  bool Resultado() const { return resultado_.load(); }
  SituacaoLeitura Situacao() const;

  // The run; never raises. Ends with Situacao().Terminado set.
  void Executa();
  // Asks a run in progress to stop (from any thread): the reading is cancelled in the
  // library and the run fails with "Leitura cancelada pelo usuário.".
  void Cancela() { cancelar_.store(true); }

 private:
  void Define(int status, const std::string& mensagem, int percentual = -1);
  void Corre();
  // Between the steps that cannot be cut short: ends the run when a cancel was asked.
  void ParaSeCancelada() const;
  void Acompanha(const Instantaneo& s);
  void AguardaLeitura(TTDM& tdm, const std::filesystem::path& arquivo_tdm);
  void AguardaConversao(TTDM& tdm);

  mutable std::mutex m_;
  SituacaoLeitura situacao_;
  std::atomic<bool> resultado_{true};
  std::atomic<bool> cancelar_{false};
};

// "Sintegra-" month "_" year ".txt", the month without a leading zero.
std::string NomeArquivoSaida(int mes, int ano);

// The serial ports offered: the COM names of the driver configuration's [Portas] section,
// in file order, then COMn for every existing /dev/ttyS(n-1), then the paths of the
// ttyUSB, ttyACM and serial/by-id devices; each name once.
std::vector<std::string> ListaPortas(const std::filesystem::path& orvik_ini,
                                     const std::filesystem::path& dev = "/dev");

// The driver the program loads: $ORVIK_DRIVER when set; otherwise liborvik.so.1 in the
// lib folder beside the program's bin folder when it is there; otherwise the bare name
// for the loader's search.
std::filesystem::path DriverPadrao();

}  // namespace ecf
