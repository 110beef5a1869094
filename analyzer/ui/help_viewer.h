// The help viewer: shows the program's help file (HTML kept under the name corvane.chm next
// to the program) in a window of its own. It is part of the program, so it is always there.
#pragma once

#include <QString>

class QWidget;

namespace AnalyzerProject {

class HelpViewer {
public:
    static void Show(const QString& helpFile, QWidget* owner);
    static void CloseAll();
};

} // namespace AnalyzerProject
