// Reports rendered from the registers of the last Z.
#include "orvik/lumvar/register_reports.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "common/files.h"
#include "common/text1252.h"
#include "document_texts.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/documents.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"
#include "orvik/lumvar/status.h"

namespace orvik::lumvar {

namespace report_forms {

std::string MoneyText(std::string_view value) {
  std::string digits = core::Digits(value);
  const size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? std::string() : digits.substr(first);
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
  return digits.substr(0, digits.size() - 2) + "," + digits.substr(digits.size() - 2);
}

std::string MoneyText(int64_t cents) {
  return MoneyText(std::to_string(cents < 0 ? 0 : cents));
}

std::string LabelLine(std::string_view label, std::string_view value) {
  constexpr size_t kWidth = 48;
  std::string line(label);
  if (label.size() >= kWidth) return line.substr(0, kWidth);
  if (label.size() + value.size() >= kWidth)
    return line.append(value.substr(0, kWidth - label.size()));
  return line.append(kWidth - label.size() - value.size(), ' ').append(value);
}

int64_t IntegerOf(std::string_view value) {
  if (value.empty() || value.size() > 18) return 0;
  int64_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace report_forms

namespace {

using core::State;
using namespace report_forms;
using document_texts::Quoted;
using document_texts::Refuse;

std::string L(std::string_view utf8) {
  return common::utf8_to_cp1252(utf8);
}

// The last-reduction text, blank-filled or cut to its 616 characters so that a short or
// long answer never moves or loses a field.
constexpr size_t kLastReductionWidth = 616;
struct LastReduction {
  std::string text;
  explicit LastReduction(const std::string& read)
      : text(core::BlankFit(read, kLastReductionWidth)) {}
  // Field n (1 to 16).
  std::string Field(int n) const {
    static constexpr size_t kStart[] = {0,   2,   20,  34,  48,  112, 378, 392, 406,
                                        532, 568, 574, 580, 582, 588, 602, 616};
    return text.substr(kStart[n - 1], kStart[n] - kStart[n - 1]);
  }
  // dd/mm/yy and 20yymmdd of field 14 (ddmmyy).
  std::string DateDdMmYy() const {
    const std::string d = Field(14);
    return d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 2);
  }
  std::string DateSintegra() const {
    const std::string d = Field(14);
    return "20" + d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2);
  }
  // Fields 3 and 4 and the nineteen totals of field 6.
  int64_t GrossSales() const {
    int64_t sum = IntegerOf(core::Digits(Field(3))) + IntegerOf(core::Digits(Field(4)));
    const std::string totals = Field(6);
    for (size_t i = 0; i + 14 <= totals.size(); i += 14)
      sum += IntegerOf(core::Digits(totals.substr(i, 14)));
    return sum;
  }
};

int ReadLastReduction(std::string& text) {
  const int r = ExecuteLumvar("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"");
  text = r == 1 ? State().read_value : std::string();
  return r;
}

// A read into value (emptied when it fails).
int Read(std::string_view command, std::string_view parameters, std::string& value) {
  const int r = ExecuteLumvar(command, parameters);
  value = r == 1 ? State().read_value : std::string();
  return r;
}
int Money(const std::string& name, std::string& value) {
  return Read("LeMoeda", "NomeDadoMonetario=" + Quoted(name), value);
}
int Register(int index, std::string& value) {
  const int r = ReadRegister(index);
  value = r == 1 ? State().return_value : std::string();
  State().return_value.clear();
  return r;
}

// The reduction counter as its number in register names.
std::string ReductionIndex(const std::string& crz) {
  return std::to_string(IntegerOf(core::Digits(crz)));
}

std::string Rate(int nn) {
  char text[12];  // room for any int, so nothing is cut
  std::snprintf(text, sizeof text, "%02d", nn);
  return text;
}

// A report file of the Path directory, recreated when made.
class ReportFile {
 public:
  explicit ReportFile(std::string_view name)
      : path_(common::fixed_name(State().path_directory, name)) {}
  ~ReportFile() { Close(); }
  ReportFile(const ReportFile&) = delete;
  ReportFile& operator=(const ReportFile&) = delete;

  bool Create() {
    file_ = std::fopen(path_.string().c_str(), "wb");
    return file_ != nullptr;
  }
  void Add(const std::string& line) {
    if (!file_) return;
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
        std::fwrite("\r\n", 1, 2, file_) != 2)
      ok_ = false;
  }
  // False when a line could not be written.
  bool Close() {
    if (file_) {
      if (std::fclose(file_) != 0) ok_ = false;
      file_ = nullptr;
    }
    return ok_;
  }
  // The failure of a file that could not be written: 0, code -8.
  int Failed() const { return Refuse(0, -8, "Erro ao gravar " + path_.string()); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  bool ok_ = true;
};

// Ends a report: the file closed, its failure to write turned into -8, otherwise r.
int Finish(ReportFile& file, int r) {
  if (!file.Close()) return file.Failed();
  return r;
}

// The reads the master report and the type-60 records share, in their order.
struct MasterData {
  std::string serial, ecf, cro, crz, z, first_coo, last_coo, last_reduction;
};

int ReadMasterData(MasterData& d) {
  int r = Register(0, d.serial);
  if (r == 1) r = Register(14, d.ecf);
  if (r == 1) r = Register(10, d.cro);
  if (r == 1) r = Register(9, d.crz);
  if (r != 1) return r;
  d.z = ReductionIndex(d.crz);
  r = Read("LeInteiro", "NomeInteiro=\"COOReducao[" + d.z + "]\"", d.last_coo);
  if (r != 1) return r;
  const int64_t z = IntegerOf(d.z);
  if (z >= 2) {
    std::string previous;
    // The first COO comes from the Z before; a failed read ends the report rather than
    // printing a number that was never read.
    r = Read("LeInteiro", "NomeInteiro=\"COOReducao[" + std::to_string(z - 1) + "]\"", previous);
    if (r != 1) return r;
    d.first_coo = std::to_string(IntegerOf(previous) + 1);
  }
  return 1;
}

}  // namespace

int RelatorioTipo60Analitico() {
  std::string crz;
  int r = Register(9, crz);
  ReportFile file("RETORNO.TXT");
  if (!file.Create()) return file.Failed();
  if (r != 1) return Finish(file, r);
  const std::string z = ReductionIndex(crz);

  std::string text;
  r = ReadLastReduction(text);
  if (r != 1) return Finish(file, r);
  const LastReduction last(text);
  file.Add(LabelLine("Tipo do relatorio         :", "60"));
  file.Add(LabelLine("Subtipo                   :", "A"));
  file.Add(LabelLine("Data de emissao           :", last.DateDdMmYy()));

  std::string serial;
  r = Register(0, serial);
  file.Add(LabelLine("Numero de serie           :", serial));
  if (r != 1) return Finish(file, r);

  static const std::pair<const char*, const char*> kTotals[] = {
      {"CancelamentosICMSReducao", "Cancelamentos ICMS        :"},
      {"CancelamentosISSQNReducao", "Cancelamentos ISS         :"},
      {"DescontosReducao", "Descontos                 :"},
      {"TotalAliquotaF1Reducao", "F                         :"},
      {"TotalAliquotaI1Reducao", "I                         :"},
      {"TotalAliquotaN1Reducao", "N                         :"},
      {"TotalAliquotaFS1Reducao", "FS                        :"},
      {"TotalAliquotaIS1Reducao", "IS                        :"},
      {"TotalAliquotaNS1Reducao", "NS                        :"},
  };
  std::string value;
  for (const auto& [name, label] : kTotals) {
    r = Money(std::string(name) + "[" + z + "]", value);
    if (r != 1) return Finish(file, r);
    file.Add(LabelLine(label, MoneyText(value)));
  }
  for (int nn = 0; nn < 16; ++nn) {
    r = Money("Aliquota" + Rate(nn) + "Reducao[" + z + "]", value);
    if (r != 1) return Finish(file, r);
    const std::string code = core::LastDigits(value, 4);
    r = Money("TotalAliquota" + Rate(nn) + "Reducao[" + z + "]", value);
    if (r != 1) return Finish(file, r);
    if (code != "0000") file.Add(LabelLine(code + std::string(22, ' ') + ":", MoneyText(value)));
  }
  return Finish(file, 1);
}

int RelatorioTipo60Mestre() {
  MasterData d;
  int r = ReadMasterData(d);
  if (r != 1) return r;
  ReportFile file("RETORNO.TXT");
  if (!file.Create()) return file.Failed();
  r = ReadLastReduction(d.last_reduction);
  if (r != 1) return Finish(file, r);
  const LastReduction last(d.last_reduction);
  file.Add(LabelLine("Tipo do relatorio         :", "60"));
  file.Add(LabelLine("Subtipo                   :", "M"));
  file.Add(LabelLine("Data de emissao           :", last.DateDdMmYy()));
  file.Add(LabelLine("Numero de serie           :", d.serial));
  file.Add(LabelLine(L("Número do equipamento     :"), core::LastDigits(d.ecf, 4)));
  file.Add(LabelLine("Modelo do documento fiscal:", "2D"));
  file.Add(LabelLine("COO Inicial               :", core::LastDigits(d.first_coo, 6)));
  file.Add(LabelLine("COO Final                 :", core::LastDigits(d.last_coo, 6)));
  file.Add(LabelLine("Contador de reducoes      :", core::LastDigits(d.z, 4)));
  file.Add(LabelLine("Reinicio de Operacao      :", core::LastDigits(d.cro, 4)));
  file.Add(LabelLine("Venda Bruta               :", MoneyText(last.GrossSales())));
  file.Add(LabelLine("Totalizador geral         :", MoneyText(last.Field(2))));
  return Finish(file, 1);
}

int RegistrosTipo60() {
  MasterData d;
  int r = ReadMasterData(d);
  if (r != 1) return r;
  r = ReadLastReduction(d.last_reduction);
  if (r != 1) return r;
  ReportFile file("RETORNO.TXT");
  if (!file.Create()) return file.Failed();
  const LastReduction last(d.last_reduction);
  const std::string date = last.DateSintegra();
  const std::string serial = core::BlankFit(d.serial, 20);
  file.Add("60M" + date + serial + core::LastDigits(d.ecf, 3) + "2D" +
           core::LastDigits(d.first_coo, 6) + core::LastDigits(d.last_coo, 6) +
           core::LastDigits(d.z, 6) + core::LastDigits(d.cro, 3) +
           core::LastDigits(MoneyText(last.GrossSales()), 16) +
           core::LastDigits(MoneyText(last.Field(2)), 16) + std::string(37, ' '));
  auto analytic = [&](const std::string& code, const std::string& value) {
    file.Add("60A" + date + serial + core::BlankFit(code, 4) + core::LastDigits(value, 12) +
             std::string(79, ' '));
  };

  static const std::pair<const char*, const char*> kTotals[] = {
      {"CancelamentosICMSReducao", "CANC"}, {"DescontosReducao", "DESC"},
      {"TotalAliquotaF1Reducao", "F"},      {"TotalAliquotaI1Reducao", "I"},
      {"TotalAliquotaN1Reducao", "N"},      {"TotalAliquotaFS1Reducao", "FS"},
      {"TotalAliquotaIS1Reducao", "IS"},    {"TotalAliquotaNS1Reducao", "NS"},
  };
  std::string value;
  for (const auto& [name, code] : kTotals) {
    r = Money(std::string(name) + "[" + d.z + "]", value);
    if (r != 1) return Finish(file, r);
    analytic(code, value);
  }
  int64_t iss = 0;
  for (int nn = 0; nn < 16; ++nn) {
    std::string indicator, rate;
    r = Read("LeIndicador", "NomeIndicador=\"Aliquota" + Rate(nn) + "ICMSReducao[" + d.z + "]\"",
             indicator);
    if (r == 1) r = Money("Aliquota" + Rate(nn) + "Reducao[" + d.z + "]", rate);
    if (r == 1) r = Money("TotalAliquota" + Rate(nn) + "Reducao[" + d.z + "]", value);
    if (r != 1) return Finish(file, r);
    const std::string code = core::LastDigits(rate, 4);
    if (code == "0000") continue;
    if (indicator == "11")
      analytic(code, value);
    else
      iss += IntegerOf(value);
  }
  if (iss != 0) analytic("ISS ", std::to_string(iss));
  return Finish(file, 1);
}

int MapaResumo() {
  std::string crz;
  int r = Register(9, crz);
  if (r != 1) return r;
  const std::string z = ReductionIndex(crz);
  ReportFile work("RETORNO.DAT");
  if (!work.Create()) return work.Failed();
  work.Add(LabelLine("Contador de Reducao Z..:", z));
  std::string value;
  r = Read("LeInteiro", "NomeInteiro=\"COOReducao[" + z + "]\"", value);
  if (r != 1) return Finish(work, r);
  work.Add(LabelLine("COO....................:", core::LastDigits(value, 6)));
  work.Add(LabelLine("Venda Bruta............:", "0,00"));

  int64_t cancellations = 0, gross = 0, net = 0, service = 0;
  auto total = [&](const char* name) {
    r = Money(std::string(name) + "[" + z + "]", value);
    return r == 1;
  };
  if (!total("CancelamentosICMSReducao")) return Finish(work, r);
  cancellations = IntegerOf(value);
  if (!total("CancelamentosISSQNReducao")) return Finish(work, r);
  cancellations += IntegerOf(value);
  gross += cancellations;
  work.Add(LabelLine("Cancelamentos..........:", MoneyText(cancellations)));
  if (!total("DescontosReducao")) return Finish(work, r);
  work.Add(LabelLine("Descontos..............:", MoneyText(value)));
  gross += IntegerOf(value);
  static const std::pair<const char*, const char*> kNet[] = {
      {"TotalAliquotaI1Reducao", "Isenção................:"},
      {"TotalAliquotaN1Reducao", "Não Incidência.........:"},
      {"TotalAliquotaF1Reducao", "Substituição Tributária:"},
  };
  for (const auto& [name, label] : kNet) {
    if (!total(name)) return Finish(work, r);
    work.Add(LabelLine(L(label), MoneyText(value)));
    net += IntegerOf(value);
  }
  for (const char* name :
       {"TotalAliquotaFS1Reducao", "TotalAliquotaIS1Reducao", "TotalAliquotaNS1Reducao"}) {
    if (!total(name)) return Finish(work, r);
    service += IntegerOf(value);
  }
  for (int nn = 0; nn < 16; ++nn) {
    std::string rate, indicator;
    r = Money("Aliquota" + Rate(nn) + "Reducao[" + z + "]", rate);
    if (r == 1) r = Money("TotalAliquota" + Rate(nn) + "Reducao[" + z + "]", value);
    if (r == 1)
      r = Read("LeIndicador", "NomeIndicador=\"Aliquota" + Rate(nn) + "ICMSReducao[" + z + "]\"",
               indicator);
    if (r != 1) return Finish(work, r);
    const std::string code = core::LastDigits(rate, 4);
    if (indicator == "11") {
      net += IntegerOf(value);
      if (code != "0000") work.Add(LabelLine(code + "...................:", MoneyText(value)));
    } else {
      service += IntegerOf(value);
    }
  }
  if (!work.Close()) return work.Failed();
  gross += net + service;

  const auto data = common::read_file(work.path());
  if (!data) return work.Failed();
  const std::vector<std::string> lines = common::split_lines(*data);
  std::vector<std::string> out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t n = i + 1;
    if (n == 3) {
      out.push_back(LabelLine("Venda Liquida..........:", MoneyText(net)));
      continue;
    }
    out.push_back(lines[i]);
    if (n == 2) out.push_back(LabelLine("Venda Bruta............:", MoneyText(gross)));
    if (n == 4) out.push_back(LabelLine(L("Acréscimos.............:"), "0,00"));
    if (n == 5) out.push_back(LabelLine("ISS....................:", MoneyText(service)));
  }
  const std::filesystem::path target = common::fixed_name(State().path_directory, "RETORNO.TXT");
  if (!common::write_lines(target, out)) return Refuse(0, -8, "Erro ao gravar " + target.string());
  std::error_code ec;
  std::filesystem::remove(work.path(), ec);
  return 1;
}

int DadosUltimaReducao() {
  core::DriverState& s = State();
  std::string text;
  const int r = ReadLastReduction(text);
  s.return_value.clear();
  if (r != 1) return r;
  const LastReduction last(text);
  std::string answer;
  for (int n = 1; n <= 16; ++n) {
    if (n > 1) answer += ',';
    answer += last.Field(n);
  }
  s.return_value = answer;
  return r;
}

int DadosUltimaReducaoMFD() {
  core::DriverState& s = State();
  std::string text;
  int r = ReadLastReduction(text);
  s.return_value.clear();
  if (r != 1) return r;
  const LastReduction last(text);
  std::vector<std::string> fields;
  // A register whose read fails gives zeros of its width, never an earlier value.
  auto counter = [&](int index, int width) {
    std::string value;
    const bool read = Register(index, value) == 1;
    fields.push_back(read ? core::LastDigits(value, width) : std::string(width, '0'));
    return read;
  };
  fields.push_back(last.Field(1));
  counter(10, 4);
  const bool have_z = counter(9, 4);
  const std::string z = fields.back();
  fields.push_back(last.Field(11));
  fields.push_back(last.Field(12));
  counter(55, 6);
  counter(54, 6);
  counter(56, 6);
  counter(53, 4);
  counter(8, 4);
  fields.push_back(std::string(120, '0'));
  fields.push_back(std::string(120, '0'));
  counter(52, 4);
  counter(104, 4);
  fields.push_back("0000");
  fields.push_back(last.Field(2));
  fields.push_back(last.Field(6).substr(0, 224));
  for (const char* name :
       {"TotalAliquotaI1Reducao", "TotalAliquotaN1Reducao", "TotalAliquotaF1Reducao",
        "TotalAliquotaIS1Reducao", "TotalAliquotaNS1Reducao", "TotalAliquotaFS1Reducao",
        "DescontosReducao", "DescontosISSQNReducao", "AcrescimosReducao", "AcrescimosISSQNReducao",
        "CancelamentosICMSReducao", "CancelamentosISSQNReducao"}) {
    std::string value;
    const bool read = have_z && Money(std::string(name) + "[" + z + "]", value) == 1;
    fields.push_back(read ? core::LastDigits(value, 14) : std::string(14, '0'));
  }
  fields.push_back(std::string(392, '0'));
  for (int i = 0; i < 5; ++i) fields.push_back(std::string(14, '0'));
  fields.push_back(last.Field(5));
  std::string date, time;
  if (have_z && Read("LeData", "NomeData=\"DataReducao[" + z + "]\"", date) == 1 &&
      Read("LeHora", "NomeHora=\"HoraReducao[" + z + "]\"", time) == 1 && date.size() >= 8)
    fields.push_back(date.substr(0, 4) + date.substr(6, 2));
  else
    fields.push_back("000000");
  std::string answer;
  for (size_t i = 0; i < fields.size(); ++i) answer += (i ? "," : "") + fields[i];
  s.return_value = answer;
  return 1;
}

int GrandeTotalUltimaReducaoMFD() {
  core::DriverState& s = State();
  std::string crz, value;
  int r = Register(9, crz);
  s.return_value.clear();
  if (r != 1) return r;
  r = Money("VendaBrutaReducao[" + ReductionIndex(crz) + "]", value);
  s.return_value = value;
  return r;
}

int ImprimeConfiguracoesImpressora() {
  core::DriverState& s = State();
  std::string serial, version, date, time, store, till, symbol, rounding;
  Register(0, serial);
  Register(1, version);
  if (Read("LeData", "NomeData=\"Data\"", date) == 1 && date.size() >= 8)
    date = date.substr(0, 2) + "/" + date.substr(2, 2) + "/" + date.substr(6, 2);
  else
    date.clear();
  if (Read("LeHora", "NomeHora=\"Hora\"", time) == 1 && time.size() >= 6)
    time = time.substr(0, 2) + ":" + time.substr(2, 2) + ":" + time.substr(4);
  else
    time.clear();
  Register(15, store);
  Register(14, till);
  Register(115, symbol);
  Register(114, rounding);
  int flags = 0;
  if (FiscalFlags(&flags) != 1) flags = 0;

  const std::vector<std::string> lines = {
      LabelLine("Data da impressora:", date),
      LabelLine("Hora da impressora:", time),
      LabelLine("Versao do firmware:", version),
      LabelLine("Numero de serie", serial),
      LabelLine("Numero da loja", store),
      LabelLine("Numero do caixa", till),
      LabelLine("Simbolo da moeda", symbol),
      LabelLine("Modo de operacao", rounding == "1" ? "Truncamento" : "Arredondamento"),
      LabelLine(L("Horário de verao"), flags & 4 ? "SIM" : "NAO"),
      LabelLine("Ja houve reducao Z", flags & 8 ? "SIM" : "NAO"),
      LabelLine("Memoria fiscal", flags & 128 ? "Sem espaco" : "Com espaco"),
      LabelLine("Versao da dll", "1.0.0.8"),
      LabelLine("log da dll", s.logging ? "Habilitado" : "Desabilitado"),
      LabelLine("Tipo Impressora", "Fiscal + Gaveta"),
  };

  int r = 1;
  std::string chunk;
  for (size_t i = 0; i < lines.size(); ++i) {
    chunk += lines[i];
    if (chunk.size() + 48 <= 492 && i + 1 < lines.size()) continue;
    r = ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"");
    if (r == 1 && s.read_value != "15") r = AbreRelatorioGerencial();
    if (r == 1) r = ExecuteLumvar("ImprimeTexto", "TextoLivre=" + Quoted(chunk));
    if (r != 1) return r;
    chunk.clear();
  }
  r = FechaRelatorioGerencial();
  if (r != 1) return r;
  std::vector<std::string> saved = lines;
  saved.push_back("");
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  for (const char* name : {"IMPR.txt", "IMPR2.txt"}) {
    const std::filesystem::path file = common::fixed_name(ec ? "." : here, name);
    if (!common::write_lines(file, saved)) return Refuse(0, -8, "Erro ao gravar " + file.string());
  }
  return r;
}

}  // namespace orvik::lumvar
