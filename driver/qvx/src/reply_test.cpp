#include "orvik/qvx/reply.h"

#include <gtest/gtest.h>

namespace orvik::qvx {
namespace {

const std::string STX(1, kStx), ETX(1, kEtx);

// A reply frame: status, the four state characters, then the error number or the data.
std::string Frame(char status, const std::string& rest) {
  return STX + status + "1000" + rest + ETX;
}

TEST(ParseQvxReply, ClassifiesByTheLastFrame) {
  struct Case {
    const char* what;
    std::string bytes;
    int command;
    int frames;
    bool accepted;
    std::string error;
    std::string data;
  } cases[] = {
      {"plus on a command", Frame('+', "00"), 15, 1, true, "00", ""},
      {"error on a command", Frame('-', "22"), 11, 1, false, "22", ""},
      {"S on a command is an error", Frame('S', "00"), 10, 1, false, "00", ""},
      {"S on a read", Frame('S', "1800050000000000"), 30, 1, true, "18", "1800050000000000"},
      {"plus on a read", Frame('+', "ABC"), 34, 1, true, "AB", "ABC"},
      {"read 32 keeps ten characters", Frame('S', "0100400000XYZ"), 32, 1, true, "01",
       "0100400000"},
      {"error on a read", Frame('E', "44"), 33, 1, false, "44", ""},
      {"S beyond the reads", Frame('S', "00"), 35, 1, false, "00", ""},
      {"two frames: the last decides", Frame('+', "00") + Frame('-', "33"), 12, 2, false, "33", ""},
      {"two frames: a later success", Frame('-', "33") + Frame('+', "00"), 12, 2, true, "00", ""},
      {"noise before STX", "\x15zz" + Frame('+', "00"), 14, 1, true, "00", ""},
      {"noise STX before the frame", STX + "zz" + Frame('S', "0000001234"), 34, 1, true, "00",
       "0000001234"},
      {"bytes after ETX", Frame('+', "00") + "junk", 21, 1, true, "00", ""},
      {"no STX", "\x15\x15" + ETX, 15, 0, false, "", ""},
      {"empty", "", 15, 0, false, "", ""},
      {"shorter than a frame", STX + "+10" + ETX, 15, 0, false, "", ""},
      {"no ETX after STX", STX + "+100000", 15, 0, false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QvxReply r = ParseQvxReply(c.bytes, c.command);
    EXPECT_EQ(r.frames, c.frames);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.error_number, c.error);
    EXPECT_EQ(r.data, c.data);
  }
}

TEST(ParseQvxReply, ReadDataComesFromTheAcceptedFrameOnly) {
  // An accepted read followed by a refusal keeps the accepted frame's data.
  const QvxReply r = ParseQvxReply(Frame('S', "0000000099") + Frame('-', "10"), 34);
  EXPECT_FALSE(r.accepted);
  EXPECT_TRUE(r.has_data);
  EXPECT_EQ(r.data, "0000000099");
}

TEST(ParseQvxReply, AMegabyteOfNoise) {
  std::string noise(1 << 20, 'x');
  for (size_t i = 0; i < noise.size(); i += 7) noise[i] = kStx;
  EXPECT_EQ(ParseQvxReply(noise, 34).frames, 0);
  EXPECT_EQ(ParseQvxReply(noise + Frame('S', "42"), 34).data, "42");
}

TEST(ReplyComplete, AtETXOrAWholeFrameOnAQuietLine) {
  const std::string f = Frame('+', "00");
  EXPECT_FALSE(ReplyComplete("", true));
  EXPECT_TRUE(ReplyComplete(f, false));
  EXPECT_FALSE(ReplyComplete(f.substr(0, 5), true));  // split: wait for the rest
  EXPECT_FALSE(ReplyComplete(f + "zz", false));       // more may still come
  EXPECT_TRUE(ReplyComplete(f + "zz", true));
  EXPECT_FALSE(ReplyComplete("zz", true));
  EXPECT_TRUE(ReplyComplete("zz" + ETX, false));  // ends at ETX: complete, classified as no frame
}

TEST(ErrorMessageFor, TheTableExactly) {
  struct {
    const char* number;
    const char* message;
  } cases[] = {
      {"01", "O cabeçalho contém caracteres invalidados"},
      {"09", "A string “TOTAL” não é aceita"},
      {"22", "Necessário abrir cupom fiscal"},
      {"26", "O  relógio já está em horário de verão"},
      {"27", "O  relógio não está em horário de verão"},
      {"32", "O  cupom anterior não pode ser cancelado"},
      {"44", "Está em estado de impressão de cheque"},
      {"49", "Detectado algum problema na impressora ( paper jam, sobretensão, etc)."},
      {"62", "Cmd desabilitado"},
      {"-5", "Erro ao abrir a porta de comunicação"},
      {"-4",
       "O arquivo de inicialização \"ORVIK.INI\" não foi encontrado no diretório do aplicativo"},
      {"08", "Erro retornado pelo ECF: 08"},
      {"99", "Erro retornado pelo ECF: 99"},
      {"x?", "Erro retornado pelo ECF: x?"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorMessageFor(c.number), c.message) << c.number;
}

}  // namespace
}  // namespace orvik::qvx
