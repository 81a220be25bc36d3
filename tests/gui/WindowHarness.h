#pragma once

#include "frmMain.h"

#include <QLineEdit>
#include <QList>
#include <QListView>
#include <QPushButton>
#include <QStringList>

// frmMain with its message box and its exit replaced: messages are recorded and dismissed at
// once, exit statuses are recorded.
class WindowHarness
{
public:
    WindowHarness()
    {
        window.showMessageBox = [this](const QString& text) {
            messages << text;
            if (onMessage)
                onMessage(text);
        };
        window.exitApplication = [this](int status) { exits << status; };
    }

    template <class T> T* control(const char* name) const
    {
        return window.findChild<T*>(QLatin1String(name));
    }
    QLineEdit* field(const char* name) const { return control<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return control<QPushButton>(name); }
    QListView* list() const { return control<QListView>("lstCalls"); }

    // What the operator sees in the list, top to bottom.
    QStringList shownEntries() const
    {
        QStringList out;
        const auto* model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->index(row, 0).data().toString();
        return out;
    }

    void selectRow(int row) const { list()->setCurrentIndex(list()->model()->index(row, 0)); }

    void connectTo(quint16 port, const QString& password = QString()) const
    {
        field("txtHost")->setText(QStringLiteral("127.0.0.1"));
        field("txtPort")->setText(QString::number(port));
        field("txtPassword")->setText(password);
        button("cmdConnect")->click();
    }

    frmMain window;
    QStringList messages;
    QList<int> exits;
    std::function<void(const QString&)> onMessage; // runs inside the "modal" message
};
