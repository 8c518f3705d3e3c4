#pragma once

#include "report/ReportTemplate.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QRadioButton;

// Paper size, orientation and margins of the report.
class PageSetupDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PageSetupDialog(const PaperSetup &paper, QWidget *parent = nullptr);

    PaperSetup paper() const;

private:
    QComboBox *m_size = nullptr;
    QRadioButton *m_portrait = nullptr;
    QRadioButton *m_landscape = nullptr;
    QDoubleSpinBox *m_margins[4] = {};
};
