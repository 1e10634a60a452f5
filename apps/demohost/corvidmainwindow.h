#ifndef CORVIDMAINWINDOW_H
#define CORVIDMAINWINDOW_H

#include "kavatmdialoghandler.h"
#include "kavcmddialoghandler.h"

#include <QtWidgets/QMainWindow>

class CorvidPlatform;
class KAVFeatBrowserWidget;

// The host's dialog handler: new windows go on the main window, and automation values land
// in the widgets of the running command's dialog that carry the value's key as object name.
class CorvidDialogHandler : public KAVCmdDialogHandler, public KAVAtmDialogHandler {
    Q_OBJECT
public:
    explicit CorvidDialogHandler(QWidget *mainWindow);
    void ApplyAutomationData(const QVariantMap &data, bool clearFirst) override;
};

// The main window: the feature tree of the current document and the host's commands.
class CorvidMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CorvidMainWindow(CorvidPlatform *platform);
    ~CorvidMainWindow() override;

private:
    void RegisterCommands();

    CorvidPlatform *m_platform;
    KAVFeatBrowserWidget *m_browser;
    CorvidDialogHandler *m_dialogHandler;
};

#endif // CORVIDMAINWINDOW_H
