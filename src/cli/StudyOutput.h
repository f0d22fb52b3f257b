#pragma once

#include "core/study/Study.h"

#include <QString>

// The files `study` writes besides its text: the overlay charts and the report.
struct StudyOutputs {
    QString chartPath;  // .png or .pdf; empty: none
    QString reportPath; // .pdf; empty: none
    QString title, name, sector, company, responsible;
};

// False with the reason in *error (the path included).
bool writeStudyOutputs(const StudyOutputs &outputs, const QVector<study::Logger> &loggers, const study::Result &result,
                       QString *error);
