#ifndef CORVIDMAINWINDOW_H
#define CORVIDMAINWINDOW_H

#include "kavfeatobject.h"

#include <QtCore/QPointer>
#include <QtWidgets/QMainWindow>

class QMenu;

class CorvidDialogHandler;
class CorvidPlatform;
class CorvidSheetView;
class KAVFeatBrowserWidget;

// The main window: the feature tree of the current document, its context menu, and the host's
// commands. Scripts reach it as the global "mainWindow"; the dialogs of commands are its
// children, named after their commands.
class CorvidMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CorvidMainWindow(CorvidPlatform *platform);
    ~CorvidMainWindow() override;

    // The dialog of the running command or the open modal popup, or null.
    Q_INVOKABLE QWidget *CurrentDialog() const;
    // The identifiers of the current document's selected feature objects, sorted.
    Q_INVOKABLE QStringList SelectedFeatures() const;

    // Input as a user gives it, for scripts that play the user: the events pass through the
    // application as real input does, so recording sees them. Each returns false when the
    // target is not there.
    // Selects the text of the named widget of the open dialog (Ctrl+A) and types the text.
    Q_INVOKABLE bool TypeInto(const QString &objectName, const QString &text);
    // Clicks the middle of the named widget of the open dialog.
    Q_INVOKABLE bool ClickOn(const QString &objectName);
    // Clicks the placed part with that tree path in the sheet view.
    Q_INVOKABLE bool ClickPart(const QString &fullPath);
    // Chooses "Select" in the context menu of the tree item of the feature at the path.
    Q_INVOKABLE bool SelectFromMenu(const QString &fullPath);

private:
    void RegisterCommands();
    void ShowFeatureMenu(const QPoint &position);
    void SyncSelectionToEnvironment();
    void SyncSelectionFromEnvironment(const KAVFeatObjectSet &selection);

    CorvidPlatform *m_platform;
    KAVFeatBrowserWidget *m_browser;
    CorvidSheetView *m_sheetView;
    CorvidDialogHandler *m_dialogHandler;
    QMenu *m_featureMenu;
    QPointer<KAVFeatObject> m_menuObject;
    bool m_syncing = false;
};

#endif // CORVIDMAINWINDOW_H
