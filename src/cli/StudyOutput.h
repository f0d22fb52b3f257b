#pragma once

#include "cli/PdfSigning.h"
#include "core/study/Study.h"

#include <QString>

// The files `study` writes besides its text: the overlay charts and the report.
struct StudyOutputs {
    QString chartPath;  // .png or .pdf; empty: none
    QString reportPath; // .pdf; empty: none
    QString title, name, sector, company, responsible;
    // A signed report carries the loggers' files and their signatures.
    PdfSignArgs sign;
};

// False with the reason in *error (the path included) and the exit code in *code.
bool writeStudyOutputs(const StudyOutputs &outputs, const QVector<study::Logger> &loggers, const study::Result &result,
                       QString *error, int *code);
