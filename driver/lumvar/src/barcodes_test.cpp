#include "orvik/lumvar/barcodes.h"

#include "coupon_test_peer.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using CouponBarcodes = CouponPeer;

TEST_F(CouponBarcodes, KindsBySubModel) {
  struct {
    std::string model;
    BarcodeKind kind;
    bool prints;
    std::string text;
  } cases[] = {
      {"ORVIK_KAP", kItf, true, "TextoLivre=\"\\x1Dk\\x0512345678\\x00\""},
      {"ORVIK_KAP", kEan13, false, ""},
      {"ORVIK_KAP", kUpcA, false, ""},
      {"ORVIK_R7", kCodabar, false, ""},
      {"ORVIK_R7", kItf, true, "TextoLivre=\"\\x1Dk\\x0512345678\\x00\""},
      {"ORVIK_QM4100XR", kUpcA, true, "TextoLivre=\"\\x1Dk\\x0012345678\\x00\""},
      {"ORVIK_QM4100XR", kEan13, true, "TextoLivre=\"\\x1Dk\\x0212345678\\x00\""},
      {"ORVIK_QM4100XR", kCodabar, true, "TextoLivre=\"\\x1Dk\\x0612345678\\x00\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model + " " + std::to_string(c.kind));
    StartWith("ModeloImp=" + c.model + "\r\n");
    const int r = PrintBarcode(c.kind, "12345678", "Orvik_CodigoBarrasTesteMFD");
    if (c.prints) {
      EXPECT_EQ(r, 1);
      EXPECT_EQ(sent, (std::vector<Command>{{"ImprimeTexto", c.text}}));
    } else {
      EXPECT_EQ(r, 0);
      EXPECT_EQ(State().last_return_code, -2);
      EXPECT_EQ(State().last_message,
                "Comando Inexistente para este modelo:Orvik_CodigoBarrasTesteMFD");
      EXPECT_TRUE(sent.empty());
    }
  }
  // A quote in the code cannot end the text early.
  StartWith("");
  EXPECT_EQ(PrintBarcode(kItf, "12\"34", "x"), 1);
  EXPECT_EQ(sent[0].parameters, "TextoLivre=\"\\x1Dk\\x0512\\x2234\\x00\"");
}

TEST_F(CouponBarcodes, LayoutInHexadecimalWithoutTheMargin) {
  struct {
    int height, width, position, font;
    std::string text;
  } cases[] = {
      {162, 3, 2, 0, "TextoLivre=\"\\x1Dw\\x03\\x1Dh\\xA2\\x1DH\\x02\\x1Df\\x00\""},
      {50, 2, 0, 1, "TextoLivre=\"\\x1Dw\\x02\\x1Dh\\x32\\x1DH\\x00\\x1Df\\x01\""},
      // Out of a byte's range: the low byte, never a longer escape.
      {300, -1, 0, 0, "TextoLivre=\"\\x1Dw\\xFF\\x1Dh\\x2C\\x1DH\\x00\\x1Df\\x00\""},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(ConfiguraCodigoBarrasMFD(c.height, c.width, c.position, c.font, 9), 1);
    EXPECT_EQ(sent, (std::vector<Command>{{"ImprimeTexto", c.text}}));
  }
}

}  // namespace
}  // namespace orvik::lumvar
