#pragma once

#include "CallEnder.h"

#include <QObject>

class CallTreeView;
class ConsoleWindow;
class QAction;
class QActionGroup;
class QLineEdit;
class QMenu;
class QPoint;

// The console's commands: its actions, menus, toolbar, keys and the calls' context menu. Built
// apart so that the window keeps to what the commands do, not where they are offered.
class ConsoleActions : public QObject
{
    Q_OBJECT

public:
    // The actions belong to the window, as do the menus; the window's own choices (Preferences,
    // the hangups' confirmation) it connects itself.
    ConsoleActions(ConsoleWindow& owner, CallTreeView& tree, QLineEdit& filter);

    QMenu* fileMenu() const { return files; }
    QMenu* pbxMenu() const { return pbxes; }
    QAction* preferencesAction() const { return actPreferences; }

    // Sorting by PBX is offered while the PBX column is shown.
    void setPbxSortEnabled(bool enabled);
    // The hangup's entry says what it would end.
    void showChoice(const CallEnder::Choice& choice);

    // The context menu of a row: a leg's channel, its whole call, or the selection when it
    // names more than one.
    enum class Pick
    {
        Nothing,
        Channel,
        WholeCall,
        Selection
    };
    Pick pick(const QPoint& at, bool leg, bool several);

private:
    void buildViewMenu();
    void sortBy(int column);

    ConsoleWindow& window;
    CallTreeView& callTree;
    QLineEdit& filterEdit;
    QMenu* pbxes = nullptr;
    QMenu* files = nullptr;
    QActionGroup* sortActions = nullptr;
    QAction* actConnect = nullptr;
    QAction* actRefresh = nullptr;
    QAction* actHangUp = nullptr;
    QAction* actFind = nullptr;
    QAction* actPreferences = nullptr;
    QAction* actQuit = nullptr;
};
