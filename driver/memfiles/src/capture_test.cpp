#include "orvik/memfiles/capture.h"

#include "common/files.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

using testing::Peer;

class Capture : public Peer {};

TEST_F(Capture, TwoEmptyRepliesEndAnEmptyCaptureWithSuccess) {
  EXPECT_EQ(CapturaImpressao(), 1);
  EXPECT_EQ(folder.Read("IMPR.TXT"), "");
  EXPECT_EQ(Commands(), (std::vector<std::string>{"LeImpressao", "LeImpressao"}));
  EXPECT_TRUE(LogHas("cntBytes1(OK):0"));
  // The port was kept open for the whole capture and closed at its end.
  EXPECT_EQ(record.opened.size(), 1u);
  EXPECT_EQ(record.open_handles, 0);
  EXPECT_FALSE(core::State().keep_port_open);
}

TEST_F(Capture, AOneCharacterReplyBetweenDataDoesNotEndIt) {
  chunks = {"abc", "x", "def", "y", "z", "never read"};
  EXPECT_EQ(CapturaImpressao(), 1);
  EXPECT_EQ(folder.Read("IMPR.TXT"), "abcdef");
  EXPECT_EQ(sent.size(), 5u);
  EXPECT_TRUE(LogHas("cntBytes1(OK):6"));
}

TEST_F(Capture, APrinterThatNeverStopsSendingIsCutOff) {
  for (int i = 0; i < 50; ++i) chunks.push_back("0123456789");
  EXPECT_EQ(CapturaImpressao(95), 0);
  EXPECT_EQ(core::State().last_return_code, -1);
  EXPECT_EQ(sent.size(), 10u);
  EXPECT_TRUE(LogHas("cntBytes1(FALHA):100"));
  EXPECT_EQ(record.open_handles, 0);
}

TEST_F(Capture, APortThatCannotBeOpenedAnswersMinus5) {
  record.fail_open = true;
  EXPECT_EQ(CapturaImpressao(), -5);
  EXPECT_EQ(core::State().last_return_code, -5);
  EXPECT_EQ(core::State().last_message, "Erro Abertura Porta Serial");
  EXPECT_FALSE(core::State().keep_port_open);
}

TEST_F(Capture, APrinterErrorEndsTheCaptureAsAFailure) {
  chunks = {"abc"};
  answers["LeImpressao"] = "";  // unused: LeImpressao is scripted by chunks
  record.responder = [inner = record.responder, this](const std::string& frame) {
    if (sent.size() == 1 && frame.find("LeImpressao") != std::string::npos) {
      sent.push_back({"LeImpressao", ""});
      return std::string("{9;8002;NomeErro=\"X\" Circunstancia=\"Y\";9}");
    }
    return inner(frame);
  };
  EXPECT_EQ(CapturaImpressao(), 0);
  EXPECT_EQ(core::State().last_return_code, 8002);
  EXPECT_EQ(folder.Read("IMPR.TXT"), "abc");
  EXPECT_TRUE(LogHas("cntBytes1(FALHA):3"));
}

TEST_F(Capture, CaptureToFileConvertsOrDeletesTheTarget) {
  chunks = {"LINHA 1\nLINHA 2\n"};
  const std::string target = (folder.path() / "saida.txt").string();
  EXPECT_EQ(CapturaParaArquivo(target), 1);
  EXPECT_EQ(folder.Read("saida.txt"), "LINHA 1\r\nLINHA 2\r\n");
  EXPECT_EQ(folder.Read("IMPR2.TXT"), "LINHA 1\r\nLINHA 2\r\n");

  record.fail_open = true;
  EXPECT_EQ(CapturaParaArquivo(target), -5);
  EXPECT_FALSE(std::filesystem::exists(target));
}

// ---- Conversion ----

struct Converted {
  std::string plain, rich;
};

Converted Convert(std::string_view bytes, size_t piece = 0) {
  Converted out;
  CaptureConverter c([&](std::string_view t) { out.plain += t; },
                     [&](std::string_view t) { out.rich += t; });
  if (piece == 0) {
    c.Feed(bytes);
  } else {
    for (size_t i = 0; i < bytes.size(); i += piece) c.Feed(bytes.substr(i, piece));
  }
  c.Finish();
  return out;
}

TEST(Conversion, PlainText) {
  const std::string dashes(48, '-');
  const std::string long_line(60, 'x');
  const struct {
    const char* name;
    std::string in, out;
  } cases[] = {
      {"empty capture", "", ""},
      {"LF ends lines", "A\nB\n", "A\r\nB\r\n"},
      {"last line without LF", "A\nB", "A\r\nB\r\n"},
      {"a full line ends without LF", long_line,
       std::string(48, 'x') + "\r\n" + std::string(12, 'x') + "\r\n"},
      {"condensed lines are 57 wide", "\x1b!\x01" + long_line,
       std::string(57, 'x') + "\r\n" + "xxx\r\n"},
      {"width returns to 48 after a line", "\x1b!\x01" + std::string(57, 'y') + long_line,
       std::string(57, 'y') + "\r\n" + std::string(48, 'x') + "\r\n" + std::string(12, 'x') +
           "\r\n"},
      {"escapes leave no bytes",
       "\x1b!\x28TITULO\x1b!\x02\n\x1b"
       "E1TOTAL\x1b"
       "E0 R$\n",
       "TITULO\r\nTOTAL R$\r\n"},
      {"escape and blank take four bytes", "A\x1b 12B\n", "AB\r\n"},
      {"unknown escape drops two bytes", "A\x1bZB\n", "AB\r\n"},
      {"backslash takes the next byte", "C:\\\\X \\\n\n", "C:\\X \n\r\n"},
      {"code page letters", "\x80\x90\xA0\xB5\xC6\xC7\xD6\xE0\xE5\n",
       "\xC7\xC9"
       "a\xC1\xE3\xC3I\xD3\xD5\r\n"},
      {"other bytes pass", "\xB0\xE9\n", "\xB0\xE9\r\n"},
      {"48 dashes end a condensed line", "\x1b!\x01" + dashes + "Z\n", dashes + "\r\nZ\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Convert(c.in).plain, c.out) << c.name;
    // The pieces the capture arrives in change nothing.
    EXPECT_EQ(Convert(c.in, 1).plain, c.out) << c.name << " (byte by byte)";
  }
}

TEST(Conversion, UnknownEscapeIsLoggedWithTwentyBytes) {
  core::TestFolder folder;
  folder.WriteIni("[Sistema]\r\nHomologar=1\r\n");
  core::Startup();
  Convert("\x1bQ0123456789ABCDEFGHIJ");
  EXPECT_NE(folder.Read("LOG.DAT").find("Erro ESC:\x1bQ0123456789ABCDEFGH\r\n"), std::string::npos);
}

TEST(Conversion, RichTextKeepsFontBoldRunsAndSizes) {
  const Converted c = Convert(
      "A\\\\{}\n\x1b!\x28TITULO\x1b!\x02\n\x1b"
      "E1TOTAL\x1b"
      "E0 R$\n\xC7\n");
  EXPECT_EQ(c.rich.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
  EXPECT_NE(c.rich.find("{\\f0\\fmodern\\fcharset0 Courier New;}"), std::string::npos);
  EXPECT_NE(c.rich.find("\\fs16 A\\\\\\{\\}\\par"), std::string::npos) << c.rich;
  EXPECT_NE(c.rich.find("\\b \\fs30 TITULO\\par"), std::string::npos) << c.rich;
  EXPECT_NE(c.rich.find("\\fs16 TOTAL\\b0  R$\\par"), std::string::npos) << c.rich;
  EXPECT_NE(c.rich.find("\\'c3\\par"), std::string::npos) << c.rich;
  EXPECT_EQ(c.rich.substr(c.rich.size() - 3), "}\r\n");
}

TEST(Conversion, TheDashLineBringsTheSizeBackTo8) {
  const Converted c = Convert("\x1b!\x28" + std::string(48, '-') + "X\n");
  EXPECT_NE(c.rich.find(std::string(48, '-') + "\\par\r\n\\fs16 X"), std::string::npos) << c.rich;
}

TEST_F(Capture, ConvertingFilesWritesImpr2AndTheChosenTarget) {
  folder.Write("raw.txt",
               "\x1b"
               "E1NEGRITO\x1b"
               "E0\nfim");
  const std::string rtf = (folder.path() / "out.rtf").string();
  EXPECT_TRUE(ConverteCaptura((folder.path() / "raw.txt").string(), true, rtf));
  EXPECT_EQ(folder.Read("IMPR2.TXT"), "NEGRITO\r\nfim\r\n");
  EXPECT_NE(folder.Read("out.rtf").find("\\b NEGRITO"), std::string::npos);
  EXPECT_FALSE(ConverteCaptura((folder.path() / "missing").string(), false, rtf));
}

}  // namespace
}  // namespace orvik::memfiles
