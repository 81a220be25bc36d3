#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLabel;

// Asks for the reason of a member's pause: typed, or one of those used before (kept for later
// runs, the latest first). A reason with a line break or NUL is refused here, as the PBX's
// fields refuse it, and the dialog stays open.
class PauseDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RememberedReasons = 10;

    PauseDialog(const QString& member, const QString& queue, QWidget* parent = nullptr);

    QString reason() const;
    void setReason(const QString& reason);
    // Pause it in every queue it is a member of, not in this one alone.
    bool everyQueue() const;
    QStringList offeredReasons() const;
    // What is wrong with the typed reason; empty when nothing.
    QString problem() const;

    void accept() override;

    // The reasons used before, latest first; remember() puts one in front.
    static QStringList usedReasons();
    static void remember(const QString& reason);

private:
    QComboBox* reasonCombo;
    QCheckBox* everyQueueCheck;
    QLabel* problemLabel;
};
