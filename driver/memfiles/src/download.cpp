#include "orvik/memfiles/download.h"

#include <filesystem>

#include "common/files.h"
#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"
#include "orvik/memfiles/capture.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

using core::State;

// Upper case without blanks, for the section tests.
std::string Squeezed(std::string_view line) {
  std::string out;
  for (char c : common::cp1252_upper(line))
    if (c != ' ') out += c;
  return out;
}

std::string Piece(const std::string& line, size_t from, size_t count) {
  return from < line.size() ? line.substr(from, count) : std::string();
}

}  // namespace

std::string DownloadParameters(const std::string& kind, const std::string& first,
                               const std::string& last, const std::string& user) {
  std::string p;
  if (kind == "0") {
    p = "COOInicial=1 COOFinal=999999";
  } else if (kind == "1") {
    p = "DataInicial=#" + core::FormatDate(first) + "# DataFinal=#" + core::FormatDate(last) + "#";
  } else if (kind == "2") {
    p = "COOInicial=" + first + " COOFinal=" + last;
  }
  p += " Destino=\"S\"";
  if (!user.empty()) p += " Proprietario=" + user;
  return p;
}

int DownloadMfd(const std::string& file, const std::string& kind, const std::string& first,
                const std::string& last, const std::string& user) {
  auto& s = State();
  const std::string parameters = DownloadParameters(kind, first, last, user);
  s.last_return_code = -1;
  int captured = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int r = lumvar::ExecuteLumvar("EmiteLeituraFitaDetalhe", parameters);
    if (r != 1) {
      std::error_code ec;
      std::filesystem::remove(file, ec);
      return r;
    }
    captured = CapturaImpressao();
    if (captured != 0 || s.last_return_code != -1) break;
  }
  if (captured == 1) {
    // Whole or not at all: a copy cut short must not take the place of an earlier download.
    if (!CopyFileWhole("IMPR.TXT", file)) {
      // The download is of no use to the caller unless it reached the file asked for.
      s.last_message = "Erro no Arquivo Destino";
      s.last_return_code = -8;
      core::Log("---[" + s.last_message + "]---");
      return 0;
    }
  }
  return captured;
}

int FormatoDadosMfd(const std::string& source, const std::string& target,
                    const std::string& format) {
  auto& s = State();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(source, ec)) {
    s.last_message = "Erro no Arquivo Origem";
    s.last_return_code = -8;
    return -8;
  }
  if (!ConverteCaptura(source, format == "1", target)) {
    s.last_message = "Erro no Arquivo Destino";
    s.last_return_code = -8;
    core::Log("---[" + s.last_message + "]---");
    return -8;
  }
  return 1;
}

void SoftwareBasicFromLines(const std::vector<std::string>& lines, std::string& date,
                            std::string& time) {
  const std::string opening = Squeezed(common::utf8_to_cp1252("SOFTWARE BÁSICO:"));
  bool inside = false;
  for (const std::string& line : lines) {
    if (common::trim(line).empty()) continue;
    const std::string squeezed = Squeezed(line);
    if (squeezed.find(opening) != std::string::npos) {
      inside = true;
    } else if (squeezed.find("MOEDA:") != std::string::npos ||
               common::cp1252_upper(line).rfind("MFD:", 0) == 0) {
      inside = false;
    } else if (inside) {
      const std::string d = core::Digits(Piece(line, 9, 10));
      date = d.substr(0, std::min<size_t>(4, d.size())) + (d.size() > 6 ? d.substr(6, 2) : "");
      time = core::Digits(Piece(line, 22, 8));
    }
  }
}

int SoftwareBasicDateTime() {
  auto& s = State();
  s.return_value.clear();
  s.second_return_value.clear();
  int r = lumvar::ExecuteLumvar(
      "EmiteLeituraMF", "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=1 ReducaoFinal=1");
  if (r != 1) return r;
  const std::string file = s.path_directory + "LEITMF.TXT";
  r = CapturaParaArquivo(file);
  if (auto text = common::read_file(file)) {
    std::string date, time;
    SoftwareBasicFromLines(common::split_lines(*text), date, time);
    s.return_value = date;
    s.second_return_value = time;
  }
  return r;
}

}  // namespace orvik::memfiles
