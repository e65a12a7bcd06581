{ What every example does after a call: on a result other than 1, say the driver's code
  and message and stop. }
unit OrvikExample;

{$IFDEF FPC}{$MODE DELPHI}{$ENDIF}

interface

procedure Require(Rc: Integer; const What: string);
{ A buffer of Width blanks and its terminating zero, as the driver expects. }
function Answer(Width: Integer): AnsiString;

implementation

uses Orvik;

procedure Require(Rc: Integer; const What: string);
var
  Code: Integer;
  Message: array[0..1023] of AnsiChar;
begin
  if Rc = 1 then Exit;
  Code := 0;
  Message[0] := #0;
  Orvik_RetornoImpressora(Code, @Message[0]);
  WriteLn(ErrOutput, What, ': result ', Rc, ', code ', Code, ': ', PAnsiChar(@Message[0]));
  Halt(1);
end;

function Answer(Width: Integer): AnsiString;
begin
  Result := StringOfChar(' ', Width) + #0;
end;

end.
