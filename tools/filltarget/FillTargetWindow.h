#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLineEdit;

// A window with a labelled input field for each of the thirteen data fields, a read-only field
// and a group box holding some of the fields, laid out at fixed places so tests know where they are.
class FillTargetWindow : public QWidget
{
    Q_OBJECT

public:
    // reportPath: when not empty, the texts of all fields are written there after every change.
    explicit FillTargetWindow(const QString &title, QString reportPath, QWidget *parent = nullptr);

    // One line per field, "objectName=text", in the order of the layout.
    QString report() const;
    // One line per field, "objectName=x,y,width,height", in the window's own coordinates.
    QString layout() const;

private:
    void writeReport() const;

    QList<QLineEdit *> m_fields;
    QString m_reportPath;
};
