// Sale.cs: a coupon through the C# binding, its number and the grand total.
using System;
using System.Text;
using Orvik;

static class Sale
{
    static void Require(int rc, string what)
    {
        if (rc == 1) return;
        int code = 0;
        var message = new StringBuilder();
        Api.Orvik_RetornoImpressora(ref code, message);
        Console.Error.WriteLine(what + ": result " + rc + ", code " + code + ": " + message);
        Environment.Exit(1);
    }

    static void Main()
    {
        Require(Api.Orvik_AbreCupom(""), "Orvik_AbreCupom");
        Require(Api.Orvik_VendeItem("7891000100103", "AÇÚCAR 1KG", "18,00", "I", "1", 2, "4,99", "$", "0"),
                "Orvik_VendeItem");
        Require(Api.Orvik_EfetuaFormaPagamento("Dinheiro", "10,00"), "Orvik_EfetuaFormaPagamento");
        Require(Api.Orvik_TerminaFechamentoCupom(""), "Orvik_TerminaFechamentoCupom");
        var coo = new StringBuilder();
        var total = new StringBuilder();
        Require(Api.Orvik_NumeroCupom(coo), "Orvik_NumeroCupom");
        Require(Api.Orvik_GrandeTotal(total), "Orvik_GrandeTotal");
        Console.WriteLine("coupon " + coo);
        Console.WriteLine("grand total " + total);
    }
}
