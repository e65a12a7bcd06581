#pragma once
// The print capture: a reading the printer sends to the line (Destino="S") is collected
// with LeImpressao into IMPR.TXT in the current folder, and turned into plain text
// (IMPR2.TXT) or a rich-text document.
#include <functional>
#include <string>
#include <string_view>

namespace orvik::memfiles {

// Keeps port 1 open and reads the printout into IMPR.TXT until two empty replies in a
// row. 1 on success; -5 when the port cannot be opened; otherwise the failed read's
// result (the engine's time-out ends a printer that stops answering). A printer that
// never stops sending is cut off after max_bytes (far beyond any detail-tape memory):
// 0, last return code -1.
inline constexpr long long kMaxCaptureBytes = 1LL << 30;
int CapturaImpressao(long long max_bytes = kMaxCaptureBytes);

// Converts the raw capture source: IMPR2.TXT is always written; target receives the
// rich-text document when rich is set, otherwise a copy of IMPR2.TXT. False when the
// source cannot be read or an output cannot be written.
bool ConverteCaptura(const std::string& source, bool rich, const std::string& target);

// CapturaImpressao, then on success the plain conversion into target; on failure target
// is deleted. Answers the capture's result.
int CapturaParaArquivo(const std::string& target);

// The conversion itself, on bytes: plain lines (CR LF ended) and the rich-text document.
// The converter takes the capture in pieces of any size.
class CaptureConverter {
 public:
  // Bytes of plain text and of rich text as they are produced.
  using Sink = std::function<void(std::string_view)>;
  CaptureConverter(Sink plain, Sink rich);
  void Feed(std::string_view bytes);
  // Ends the capture: the pending line and the end of the rich-text document.
  void Finish();

 private:
  void Process(bool at_end);
  void AddByte(char c);
  void FlushRun();
  void EndLine();
  void RichText(std::string_view text);

  Sink plain_, rich_;
  std::string input_;    // bytes not yet processed (an escape waiting for its bytes)
  std::string pending_;  // text of the current line not yet written
  std::string line_;     // the whole current line (written runs and pending text)
  std::string plain_out_, rich_out_;
  size_t width_ = 48;
  bool bold_ = false;
  int size_ = 8;
  bool rich_bold_ = false;
  int rich_size_ = 8;
};

}  // namespace orvik::memfiles
