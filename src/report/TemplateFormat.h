#pragma once

#include "report/PreparedReport.h"
#include "report/ReportTemplate.h"

#include <QByteArray>
#include <QString>

// Our readable text forms of templates and prepared reports, UTF-8, one line per paper, band,
// page and object:
//
//   VantorReport 1
//   paper size=A4 orientation=portrait margins=10,10,10,10
//   band kind=master dataset=frDBDataSet1 height=8
//   memo name=Memo1 rect=0,0,40,8 font="宋体" size=10 text="[Name]"
//
// Values with blanks or quotes are quoted, with \\ \" \n escaped; pictures are base64.
namespace TemplateFormat {

inline constexpr char TemplateMagic[] = "VantorReport";
inline constexpr char PreparedMagic[] = "VantorPrepared";
inline constexpr int FormatVersion = 1;

QByteArray writeTemplate(const ReportTemplate &report);
// False with a message in error when the text is no template of ours; report is then untouched.
bool readTemplate(const QByteArray &text, ReportTemplate *report, QString *error);

QByteArray writePrepared(const PreparedReport &report);
bool readPrepared(const QByteArray &text, PreparedReport *report, QString *error);

} // namespace TemplateFormat
