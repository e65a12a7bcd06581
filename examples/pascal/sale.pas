{ sale.pas: one coupon through liborvik, then its number and the grand total. }
program Sale;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

uses Orvik, OrvikExample;

var
  Coo, GrandTotal: AnsiString;
begin
  Require(Orvik_ProgramaOperador('Caixa 1'), 'Orvik_ProgramaOperador');
  Require(Orvik_AbreCupom(''), 'Orvik_AbreCupom');
  Require(Orvik_VendeItem('7891000100103', 'ARROZ TIPO 1 5KG', '18,00', 'I', '1', 2, '21,90', '$', '0'),
          'Orvik_VendeItem');
  Require(Orvik_VendeItem('7891000200200', 'FEIJAO CARIOCA 1KG', '18,00', 'I', '2', 2, '8,45', '%', '10'),
          'Orvik_VendeItem');
  Require(Orvik_EfetuaFormaPagamento('Dinheiro', '50,00'), 'Orvik_EfetuaFormaPagamento');
  Require(Orvik_TerminaFechamentoCupom('Obrigado, volte sempre!'), 'Orvik_TerminaFechamentoCupom');
  Coo := Answer(6);
  GrandTotal := Answer(18);
  Require(Orvik_NumeroCupom(PAnsiChar(Coo)), 'Orvik_NumeroCupom');
  Require(Orvik_GrandeTotal(PAnsiChar(GrandTotal)), 'Orvik_GrandeTotal');
  WriteLn('coupon ', PAnsiChar(Coo));
  WriteLn('grand total ', PAnsiChar(GrandTotal));
end.
