#pragma once
// Event signatures of the component model. Handlers are bound by name from form
// resources (see HandlerTable); a handler's signature must match its event's.
#include <functional>

class TObject;
class TDataSet;
class TField;
class TColumn;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;
using TDBGridClickEvent = std::function<void(TColumn* Column)>;
// Before a lookup list opens; the Boolean is passed by reference.
using TPesqEvent = std::function<void(TObject* Sender, bool& cancel)>;
