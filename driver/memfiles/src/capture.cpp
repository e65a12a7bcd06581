#include "orvik/memfiles/capture.h"

#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/engine.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

using core::State;

constexpr char kEsc = 27;
constexpr size_t kReadBlock = 64 * 1024;
const std::string kDashLine(48, '-');

// The printer's code page letters that differ from Windows-1252.
unsigned char Translate(unsigned char b) {
  switch (b) {
    case 0x80:
      return 0xC7;  // Ç
    case 0x90:
      return 0xC9;  // É
    case 0xA0:
      return 'a';
    case 0xB5:
      return 0xC1;  // Á
    case 0xC6:
      return 0xE3;  // ã
    case 0xC7:
      return 0xC3;  // Ã
    case 0xD6:
      return 'I';
    case 0xE0:
      return 0xD3;  // Ó
    case 0xE5:
      return 0xD5;  // Õ
    default:
      return b;
  }
}

constexpr const char* kRichHead =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\r\n"
    "\\f0\\fs16 ";

}  // namespace

CaptureConverter::CaptureConverter(Sink plain, Sink rich)
    : plain_(std::move(plain)), rich_(std::move(rich)) {
  rich_out_ = kRichHead;
}

void CaptureConverter::Feed(std::string_view bytes) {
  input_.append(bytes);
  Process(false);
}

void CaptureConverter::Finish() {
  Process(true);
  if (!pending_.empty() || !line_.empty()) EndLine();
  rich_out_ += "}\r\n";
  plain_(plain_out_);
  rich_(rich_out_);
  plain_out_.clear();
  rich_out_.clear();
}

void CaptureConverter::RichText(std::string_view text) {
  if (text.empty()) return;
  if (rich_bold_ != bold_) {
    rich_out_ += bold_ ? "\\b " : "\\b0 ";
    rich_bold_ = bold_;
  }
  if (rich_size_ != size_) {
    rich_out_ += "\\fs" + std::to_string(size_ * 2) + " ";
    rich_size_ = size_;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (ch == '\\' || ch == '{' || ch == '}') {
      rich_out_ += '\\';
      rich_out_ += ch;
    } else if (b >= 0x80 || b < 0x20) {
      rich_out_ += "\\'";
      rich_out_ += kHex[b >> 4];
      rich_out_ += kHex[b & 15];
    } else {
      rich_out_ += ch;
    }
  }
}

void CaptureConverter::FlushRun() {
  plain_out_ += pending_;
  RichText(pending_);
  pending_.clear();
}

void CaptureConverter::EndLine() {
  FlushRun();
  plain_out_ += "\r\n";
  rich_out_ += "\\par\r\n";
  if (line_ == kDashLine) size_ = 8;
  line_.clear();
  width_ = 48;
}

void CaptureConverter::AddByte(char c) {
  pending_ += c;
  line_ += c;
  if (line_.size() >= width_ || line_ == kDashLine) EndLine();
}

void CaptureConverter::Process(bool at_end) {
  size_t i = 0;
  const size_t n = input_.size();
  while (i < n) {
    const char c = static_cast<char>(Translate(static_cast<unsigned char>(input_[i])));
    if (c == kEsc) {
      // An escape is handled once its bytes (and the 20 the error log shows) are here.
      if (!at_end && n - i < 21) break;
      const char kind = i + 1 < n ? input_[i + 1] : '\0';
      if (kind == '!' || kind == 'E') {
        if (i + 2 >= n) break;  // only at the end: a cut sequence is dropped below
        const char arg = input_[i + 2];
        if (line_.size() >= width_) {
          EndLine();
        } else {
          FlushRun();
        }
        if (kind == '!') {
          width_ = arg == 1 ? 57 : 48;
          bold_ = arg == 0x28;
          size_ = arg == 0x28 ? 15 : 8;
        } else {
          bold_ = arg == '1';
        }
        i += 3;
      } else if (kind == ' ') {
        i += 4;
      } else {
        core::Log("Erro ESC:" + input_.substr(i, 20));
        i += 2;
      }
      continue;
    }
    if (c == '\\') {
      if (i + 1 >= n && !at_end) break;
      if (i + 1 < n)
        AddByte(static_cast<char>(Translate(static_cast<unsigned char>(input_[i + 1]))));
      i += 2;
      continue;
    }
    if (c == '\n') {
      EndLine();
    } else {
      AddByte(c);
    }
    ++i;
  }
  if (at_end) {
    input_.clear();
  } else {
    input_.erase(0, std::min(i, n));
  }
  if (plain_out_.size() > kReadBlock) {
    plain_(plain_out_);
    plain_out_.clear();
  }
  if (rich_out_.size() > kReadBlock) {
    rich_(rich_out_);
    rich_out_.clear();
  }
}

bool ConverteCaptura(const std::string& source, bool rich, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  const std::string plain_name = "IMPR2.TXT";
  std::ofstream plain(plain_name, std::ios::binary | std::ios::trunc);
  // The document is written beside the target and renamed over it, so that a failed
  // conversion leaves the target as it was.
  const std::filesystem::path document_tmp = TemporaryBeside(target);
  std::ofstream document;
  if (rich) document.open(document_tmp, std::ios::binary | std::ios::trunc);
  auto drop_document = [&] {
    if (!rich) return;
    document.close();
    std::error_code ec;
    std::filesystem::remove(document_tmp, ec);
  };
  if (!plain || (rich && !document)) {
    drop_document();
    return false;
  }
  CaptureConverter converter([&](std::string_view t) { plain.write(t.data(), t.size()); },
                             [&](std::string_view t) {
                               if (rich) document.write(t.data(), t.size());
                             });
  std::string block(kReadBlock, '\0');
  while (in) {
    in.read(block.data(), block.size());
    converter.Feed(std::string_view(block.data(), static_cast<size_t>(in.gcount())));
  }
  converter.Finish();
  plain.close();
  if (!plain || in.bad()) {
    drop_document();
    return false;
  }
  if (rich) {
    document.close();
    std::error_code ec;
    if (document) std::filesystem::rename(document_tmp, target, ec);
    if (!document || ec) {
      drop_document();
      return false;
    }
    return true;
  }
  std::error_code ec;
  if (std::filesystem::weakly_canonical(plain_name, ec) ==
      std::filesystem::weakly_canonical(target, ec))
    return true;
  return CopyFileWhole(plain_name, target);
}

int CapturaImpressao(long long max_bytes) {
  auto& s = State();
  s.keep_port_open = true;
  // The flag and the port go back on every way out.
  struct Release {
    ~Release() {
      State().keep_port_open = false;
      core::ClosePort(1);
    }
  } release;
  if (s.network_mode != 1) {
    if (!core::OpenPort(1)) {
      s.last_message = "Erro Abertura Porta Serial";
      s.last_return_code = -5;
      return -5;
    }
  }
  std::ofstream out("IMPR.TXT", std::ios::binary | std::ios::trunc);
  if (!out) {
    s.last_message = "Erro na criacao de IMPR.TXT";
    s.last_return_code = -8;
    core::Log("---[" + s.last_message + "]---");
    return -8;
  }
  int result = 1;
  int empty = 0;
  long long bytes = 0;
  while (result == 1 && empty < 2) {
    result = lumvar::ExecuteLumvar("LeImpressao", "");
    if (result != 1) break;
    const std::string& text = s.read_value;
    if (text.size() < 2) {
      ++empty;
      continue;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
      s.last_message = "Erro na gravacao de IMPR.TXT";
      s.last_return_code = -8;
      result = -8;
      break;
    }
    bytes += static_cast<long long>(text.size());
    empty = 0;
    if (bytes > max_bytes) {
      s.last_message = "Captura interrompida: a impressora nao terminou de enviar";
      s.last_return_code = -1;
      core::Log("---[" + s.last_message + "]---");
      result = 0;
      break;
    }
  }
  out.close();
  core::Log((empty >= 2 ? "cntBytes1(OK):" : "cntBytes1(FALHA):") + std::to_string(bytes));
  return result;
}

int CapturaParaArquivo(const std::string& target) {
  const int result = CapturaImpressao();
  if (result == 1) {
    if (!ConverteCaptura("IMPR.TXT", false, target)) {
      auto& s = State();
      s.last_message = "Erro na conversao de IMPR.TXT";
      s.last_return_code = -8;
      std::error_code ec;
      std::filesystem::remove(target, ec);
      return 0;
    }
  } else {
    std::error_code ec;
    std::filesystem::remove(target, ec);
  }
  return result;
}

}  // namespace orvik::memfiles
