// TEMPORARY: stands in for the step editor's implementation until it is merged from main.
// Delete this file (and its line in CMakeLists.txt) after the merge.
#include "editor/stepeditor.h"

CStepEditor::CStepEditor() = default;
CStepEditor::~CStepEditor() = default;

int CStepEditor::DispatchEditKey(int /*virtualKey*/) {
    return 0;
}

int CStepEditor::OnChar(unsigned int /*character*/) {
    return 0;
}

void CStepEditor::SetColumn(int column) {
    m_nCursorColumn = column;
    m_nColumnPos = InputColumns[column].position;
    m_nInputMax = InputColumns[column].width;
    m_pszInputChars = InputColumns[column].chars;
}
