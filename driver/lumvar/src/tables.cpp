#include "orvik/lumvar/tables.h"

#include <string>
#include <vector>

#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"

namespace orvik::lumvar {
namespace {

using core::BlankFit;
using core::LastDigits;
using core::State;

// An unprogrammed slot does not count as a failure of the table.
void ClearStatus() {
  auto& s = State();
  s.st2 = 0;
  s.last_return_code = 0;
  s.last_message.clear();
}

bool IsEmptySlot(int result, int code) {
  return result == 0 && State().last_return_code == code;
}

std::string Money(const std::string& name) {
  return "NomeDadoMonetario=\"" + name + "\"";
}

// Result of one read with its value (empty unless it succeeded).
struct Read {
  int result;
  std::string value;
};

Read Do(const std::string& command, const std::string& parameters) {
  const int r = ExecuteLumvar(command, parameters);
  return {r, r == 1 ? State().read_value : std::string()};
}

// The partial-totalizer tables share their rules: 8005 is a zero entry, any other error
// empties the whole answer. names[k] empty means "no read, value 000".
int Totalizers(const std::vector<std::string>& names, auto comma_before) {
  std::string answer;
  const size_t last = names.size() - 1;
  for (size_t k = 0; k < names.size(); ++k) {
    std::string value = "000";
    if (!names[k].empty()) {
      const Read read = Do("LeMoeda", Money(names[k]));
      if (IsEmptySlot(read.result, 8005)) {
        ClearStatus();
        value.clear();
      } else if (read.result != 1) {
        State().return_value.clear();
        return read.result;
      } else {
        value = read.value;
      }
    }
    if (comma_before(k)) answer += ',';
    answer += LastDigits(value, k == last ? 18 : 14);
  }
  State().return_value = answer;
  return 1;
}

std::string NonFiscalTotal(const std::string& j) {
  return "TotalDiaNaoFiscal[" + j + "]";
}

}  // namespace

int ReadRates(int filter) {
  auto& s = State();
  s.rate_kind_filter = filter;
  std::string answer;
  int result = 1;
  for (int n = 0; n < 16; ++n) {
    Read read = Do("LeAliquota", "CodAliquotaProgramavel=" + std::to_string(n));
    if (IsEmptySlot(read.result, 8005)) {
      ClearStatus();
      s.read_value.clear();
      read = {1, {}};
    } else if (read.result != 1) {
      result = read.result;
      break;
    }
    std::string entry;
    if (filter == 0) {
      entry = LastDigits(read.value, 4);
    } else if (!read.value.empty()) {
      entry = (filter == 2 || filter == 4) ? LastDigits(std::to_string(n), 2)
                                           : LastDigits(read.value, 4);
    } else {
      continue;
    }
    if (!answer.empty() || (filter == 0 && n > 0)) answer += ',';
    answer += entry;
  }
  s.return_value = answer;
  return result;
}

int PartialTotalizers() {
  std::vector<std::string> names;
  for (int k = 0; k < 16; ++k) names.push_back("TotalDiaValorAliquota[" + std::to_string(k) + "]");
  names.push_back("TotalDiaIsencaoICMS");
  names.push_back("TotalDiaNaoTributadoICMS");
  names.push_back("TotalDiaSubstituicaoTributariaICMS");
  for (int j = 0; j < 9; ++j) names.push_back(NonFiscalTotal(std::to_string(j)));
  names.push_back(NonFiscalTotal(State().sangria));
  names.push_back(NonFiscalTotal(State().suprimento));
  names.push_back("GT");
  return Totalizers(names, [](size_t k) { return (k >= 16 && k <= 19) || k >= 28; });
}

int PartialTotalizersMfd() {
  std::vector<std::string> names;
  for (int k = 0; k < 16; ++k) names.push_back("TotalDiaValorAliquota[" + std::to_string(k) + "]");
  for (const char* name :
       {"TotalDiaIsencaoICMS", "TotalDiaNaoTributadoICMS", "TotalDiaSubstituicaoTributariaICMS",
        "TotalDiaIsencaoISSQN", "TotalDiaNaoTributadoISSQN", "TotalDiaSubstituicaoTributariaISSQN",
        "TotalDiaDescontos", "TotalDiaAcrescimos", "TotalDiaCancelamentosICMS", "", "",
        "TotalDiaCancelamentosISSQN"})
    names.push_back(name);
  for (int j = 0; j <= 14; ++j) names.push_back(NonFiscalTotal(std::to_string(j)));  // 28-42
  for (int k = 43; k <= 55; ++k) names.push_back("");
  names.push_back(NonFiscalTotal(State().sangria));     // 56
  names.push_back(NonFiscalTotal(State().suprimento));  // 57
  for (int k = 58; k <= 60; ++k) names.push_back("");
  names.push_back("GT");  // 61
  return Totalizers(names, [](size_t k) { return (k >= 16 && k <= 28) || k >= 58; });
}

int NonFiscalNames(int count) {
  std::string answer;
  for (int n = 0; n < count; ++n) {
    Read read = Do("LeNaoFiscal", "CodNaoFiscal=" + std::to_string(n));
    if (read.result != 1) ClearStatus();
    if (n > 0) answer += ',';
    answer += BlankFit(read.value, 19);
  }
  State().return_value = answer;
  return 1;
}

int NonFiscalCounters() {
  std::string answer;
  int result = 1;
  for (int n = 0; n < 9; ++n) {
    const Read read = Do("LeInteiro", "NomeInteiro=\"CON[" + std::to_string(n) + "]\"");
    if (read.result != 1) {
      result = read.result;
      break;
    }
    if (n > 0) answer += ',';
    answer += LastDigits(read.value, 4);
  }
  State().return_value = answer;
  return result;
}

namespace {

// Name, value and (when counted) count of non-fiscal totalizer n; empty on any error.
void ReceiptOf(int n, bool counted, std::string& name, std::string& value, std::string& count) {
  name.clear();
  value.clear();
  count.clear();
  const std::string j = std::to_string(n);
  Read read = Do("LeNaoFiscal", "CodNaoFiscal=" + j);
  if (read.result == 1) {
    name = read.value;
    read = Do("LeMoeda", Money(NonFiscalTotal(j)));
    value = read.value;
  }
  if (read.result == 1 && counted) {
    read = Do("LeInteiro", "NomeInteiro=\"CON[" + j + "]\"");
    count = read.value;
  }
  if (read.result != 1) {
    ClearStatus();
    name.clear();
    value.clear();
    count.clear();
  }
}

}  // namespace

int NonFiscalReceipts() {
  std::string answer;
  std::string name, value, count;
  for (int n = 0; n < 10; ++n) {
    ReceiptOf(n, true, name, value, count);
    if (n > 0) answer += ',';
    answer += LastDigits(count, 4) + LastDigits(value, 20) + BlankFit(name, 19);
  }
  const std::string filler = std::string(24, '0') + std::string(19, ' ');
  for (int n = 0; n < 40; ++n) answer += ',' + filler;
  State().return_value = answer;
  return 1;
}

int NonFiscalReceiptsMfd() {
  std::string answer;
  std::string name, value, count;
  for (int n = 0; n < 10; ++n) {
    ReceiptOf(n, false, name, value, count);
    if (n > 0) answer += ',';
    answer += BlankFit(name, 19) + LastDigits(value, 14);
  }
  const std::string filler = std::string(19, ' ') + std::string(14, '0');
  for (int n = 0; n < 20; ++n) answer += ',' + filler;
  State().return_value = answer;
  return 1;
}

int Departments() {
  std::string answer;
  for (int n = 0; n < 20; ++n) {
    const std::string j = std::to_string(n);
    std::string name, value, quantity;
    Read read = Do("LeDepartamento", "CodDepartamento=" + j);
    name = read.value;
    if (read.result == 1) {
      read = Do("LeMoeda", Money("TotalDiaValorVendasDepartamento[" + j + "]"));
      value = read.value;
    }
    if (read.result == 1) {
      read = Do("LeMoeda", Money("TotalDiaQuantidadeVendasDepartamento[" + j + "]"));
      quantity = read.value;
    }
    const bool empty_slot = IsEmptySlot(read.result, 8031);
    if (read.result != 1) {
      name.clear();
      value.clear();
      quantity.clear();
    }
    if (n > 0) answer += ',';
    answer += LastDigits(value, 20) + LastDigits(quantity, 20) + BlankFit(name, 10);
    if (empty_slot) {
      ClearStatus();
    } else if (read.result != 1) {
      State().return_value.clear();
      return read.result;
    }
  }
  State().return_value = answer;
  return 1;
}

int GerencialReports() {
  std::string answer;
  for (int n = 0; n < 20; ++n) {
    const std::string j = std::to_string(n);
    std::string name, count;
    Read read = Do("LeGerencial", "CodGerencial=" + j);
    name = read.value;
    if (read.result == 1) {
      read = Do("LeInteiro", "NomeInteiro=\"CER[" + j + "]\"");
      count = read.value;
    }
    if (IsEmptySlot(read.result, 8018)) {
      ClearStatus();
      name.clear();
      count.clear();
    } else if (read.result != 1) {
      State().return_value.clear();
      return read.result;
    }
    if (n > 0) answer += ',';
    answer += LastDigits(count, 4) + BlankFit(name, 17);
  }
  for (int n = 0; n < 10; ++n) answer += "0000" + std::string(17, ' ') + ",";
  State().return_value = answer;
  return 1;
}

int PaymentForms(int width, int entries) {
  auto& s = State();
  std::string answer;
  const std::string zeros(2 * width + 1, '0');
  for (int c = -2; c <= 14; ++c) {
    if (c == -1) continue;
    const std::string code = std::to_string(c);
    const Read form = Do("LeMeioPagamento", "CodMeioPagamentoProgram=" + code);
    if (IsEmptySlot(form.result, 8014)) {
      ClearStatus();
      answer += std::string(16, ' ') + zeros + ",";
      continue;
    }
    if (form.result != 1) {
      s.return_value.clear();
      return form.result;
    }
    const std::string linked = s.read_flag;
    const Read day =
        Do("LeMoeda", Money(c == -2 ? "TotalDiaDinheiro" : "TotalDiaMeioPagamento[" + code + "]"));
    const Read doc =
        Do("LeMoeda", Money(c == -2 ? "TotalDocDinheiro" : "TotalDocMeioPagamento[" + code + "]"));
    answer += BlankFit(form.value, 16) + LastDigits(day.value, width) +
              LastDigits(doc.value, width) + (linked == "N" ? "0," : "1,");
  }
  for (int n = 16; n < entries; ++n) {
    if (n > 16) answer += ',';
    answer += std::string(16, ' ') + zeros;
  }
  s.return_value = answer;
  return 1;
}

}  // namespace orvik::lumvar
