#pragma once
// The shell's plain routines that screens call: input normalisation, error
// display, the live session settings, the progress window and the search
// window. All texts are Windows-1252.
#include "platform/core/Variant.h"

#include <string>
#include <string_view>
#include <vector>

class TComponent;
class TCustomForm;
class TDataSet;

// True when text holds nothing to use: it is empty or every character is a
// blank or a control character (the no-break space counts as a blank).
bool EmptyString(std::string_view text);

// Brings a code to a fixed width. Leading and trailing blanks (as EmptyString
// sees them) are dropped, then the text is padded on the left with '0' up to
// width: "1" gives "0001" and "ab" gives "00ab" for width 4. A text already as
// wide as width or wider comes back trimmed but never cut, so that an over-long
// code stays visible and fails its validation instead of turning into another
// code. A blank text stays empty.
std::string Ajusta(std::string_view text, int width);

// Keeps only the digits of a registration number typed with or without its
// punctuation ("123.456.789-01" becomes "12345678901"), in place. Returns the
// normalised text too.
std::string Ajusta_Inscricao(std::string& text);

// The edit mask of a registration number by person kind, blanks ignored and
// without regard to case: "F" (individual) "999.999.999-99;0;_", "J" (company)
// "99.999.999/9999-99;0;_", anything else twenty optional digits,
// "99999999999999999999;0;_", as long as the registration number field.
std::string PictPess(std::string_view kind);

// Shows text as an error (through ErrorSink, like every error the operator
// sees). With raise it then raises EAbort, which ends the running handler and
// is reported by nobody else, so the operator sees the message once.
void MensErro(const std::string& text, bool raise);

// Asks the operator text with one button a choice (through IShellUi) and
// returns the 0-based choice made, or escapeChoice when none was.
int Pergunta(const std::string& text, const std::vector<std::string>& choices, int escapeChoice);

// Shows text as a passing note (through IShellUi), not a box to close.
void MostraAviso(const std::string& text);

// Checks a status answer of the application server. Null, a Boolean true, an
// integer (whatever its value) and an empty text mean success; so does a data
// packet. A non-empty text is the server's error message; a Boolean false is a
// failure without one. A failure is shown like MensErro: code, when not 0, is
// added to the text as " (code)" so the operator can quote it; with raise,
// EAbort follows. Returns whether the answer meant success.
bool CheckResultServ(const Variant& answer, bool raise, int code);

// The live session (host/Session.h), asked anew at every call.
std::string FiliProc();
std::string FiliProcFat();
std::string NomeFiliProcFat();
bool ModuFili();
int ModuloAtiv();
std::string WebURL();
int WebPort();

// Opens the progress window over owner showing text (through IShellUi); a
// second call while it is open shows the new text in the same window.
void ActiveShowAvi(TComponent* owner, int kind, const std::string& text);
// Shows in the open progress window that the work is at item done of total;
// does nothing when none is open.
void ShowAviCount(int done, int total);
// Offers the operator a Cancel in the open progress window; does nothing when
// none is open.
void ShowAviOfferCancel();
// True once the operator pressed the Cancel of the open progress window;
// false when none is open.
bool ShowAviCancelled();
// Closes the progress window; does nothing when none is open.
void DeactiveShowAvi();
// True while the progress window is open.
bool ShowAviActive();

// Opens the shell's search window over dataSet (through IShellUi); the search
// moves the data set's current row. A null dataSet raises EInvalidOperation.
void Procura(TDataSet* dataSet);

// The search window while it exists, else null. Set by the shell's IShellUi
// when it opens and closes the window; screens compare it with the
// application's active form.
extern TCustomForm* frmProcurar;
