#pragma once
// The shell's standard screen: a toolbar of eight commands mirrored by a main
// menu, a data source for the screen's main data set, two message tables and
// the print dialogs. Its handlers are bound by name from its form resource, so
// a derived screen's handler of the same name takes a handler's place; the
// derived handler calls the standard one itself where it wants its effect.
//
// The standard toolbar follows the state of dtsPadrao: browsing allows
// including, changing and deleting; editing or inserting allows confirming and
// cancelling; a closed data set allows none of the five. Searching, verifying
// and printing are left as the screen sets them.
#include "platform/controls/TForm.h"
#include "platform/model/Events.h"

#include <string>

class HandlerTable;
class TDataSource;
class TLabel;
class TMainMenu;
class TMenuItem;
class TMessages;
class TPanel;
class TPrintDialog;
class TPrinterSetupDialog;
class TSpeedButton;

class TfrmPadraoSimples : public TForm {
public:
    DECLARE_CLASS_NAME(TfrmPadraoSimples)
    explicit TfrmPadraoSimples(TComponent* AOwner) : TForm(AOwner) {}

    static const HandlerTable& Handlers();
    const HandlerTable& GetHandlerTable() const override { return Handlers(); }
    void ResourcesLoaded() override;

    // Components.
    TLabel* lblCodTela = nullptr;
    TPanel* panMenu = nullptr;
    TSpeedButton* sbtConfirmar = nullptr;
    TSpeedButton* sbtCancelar = nullptr;
    TSpeedButton* sbtIncluir = nullptr;
    TSpeedButton* sbtAlterar = nullptr;
    TSpeedButton* sbtExcluir = nullptr;
    TSpeedButton* sbtProcurar = nullptr;
    TSpeedButton* sbtVerificar = nullptr;
    TSpeedButton* sbtImprimir = nullptr;
    TMainMenu* mnuMenu = nullptr;
    TMenuItem* mniConfirmar = nullptr;
    TMenuItem* mniCancelar = nullptr;
    TMenuItem* mniIncluir = nullptr;
    TMenuItem* mniAlterar = nullptr;
    TMenuItem* mniExcluir = nullptr;
    TMenuItem* mniProcurar = nullptr;
    TMenuItem* mniVerificar = nullptr;
    TMenuItem* mniImprimir = nullptr;
    TDataSource* dtsPadrao = nullptr;
    TMessages* msgPadrao = nullptr;
    TMessages* msgMensagensPadroes = nullptr;
    TPrintDialog* prdImprimir = nullptr;
    TPrinterSetupDialog* psdConfigurar = nullptr;

    // Standard handlers.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void dtsPadraoStateChange(TObject* Sender);
    void sbtProcurarClick(TObject* Sender);
    void sbtConfirmarClick(TObject* Sender);
    void sbtCancelarClick(TObject* Sender);
    void sbtIncluirClick(TObject* Sender);
    void sbtAlterarClick(TObject* Sender);
    void sbtExcluirClick(TObject* Sender);
    void sbtVerificarClick(TObject* Sender);
    void sbtImprimirClick(TObject* Sender);

    // The menu entry that mirrors a toolbar button, or nullptr.
    TMenuItem* MirrorOf(const TSpeedButton* Button) const;

protected:
    // Looks a component of the form up by name for a field; a missing one, or
    // one of another class, is a resource error.
    template <class T>
    void BindField(T*& Field, const std::string& name)
    {
        TComponent* c = FindComponent(name);
        Field = dynamic_cast<T*>(c);
        if (Field == nullptr) {
            MissingField(name, c == nullptr ? "" : c->ClassName());
        }
    }
    // Sets the standard toolbar from the state of dtsPadrao.
    void ApplyStandardToolbar();

private:
    [[noreturn]] void MissingField(const std::string& name, const std::string& foundClass) const;
    static void SetCommand(TSpeedButton* Button, TMenuItem* entry, bool enabled);
};
