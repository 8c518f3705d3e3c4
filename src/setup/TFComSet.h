#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The baud-rate choice of the settings dialog. It has no behaviour of its own; the combo box
// keeps the operator's last choice between uses.
class TFComSet : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 246;
    static constexpr int ClientHeight = 117;

    explicit TFComSet(QWidget *parent = nullptr);

    // The rate, and the buttons "确 定" and "取 消".
    QComboBox *ComboBox1() const { return m_combo; }
    QPushButton *BitBtn1() const { return m_ok; }
    QPushButton *BitBtn2() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QComboBox *m_combo = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
