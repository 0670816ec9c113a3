// Private to the view's files: whatever changes the song while a scope lives is one undo step,
// and the full repaints it asks for are one, at its end.
#pragma once

#include "view/kesview.h"

class CStepScope {
public:
    explicit CStepScope(CKesView& view) : m_view(view) { m_view.BeginStep(); }
    ~CStepScope() { m_view.EndStep(); }
    CStepScope(const CStepScope&) = delete;
    CStepScope& operator=(const CStepScope&) = delete;

private:
    CKesView& m_view;
};
