// A started main window on its editing tab, with the editor and helpers to read the list.
#pragma once

#include "tests/app/fake_ui_services.h"

#include "app/gui/paint_box.h"
#include "editor/animation_editor.h"
#include "model/project_objects.h"
#include "widgets/swatch_color_combo_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

struct EditorWindow : StartedForm {
    TMainForm& f = *form;
    Project& project = form->TheProject();
    AnimationEditor* editor = &form->Editor();
    const EditorControls& c = editor->Controls();

    // Shows the window on the editing tab so that mouse events reach the preview.
    void Show() {
        f.Controls().PageControl1->setCurrentWidget(f.Controls().TabSheet1);
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    }
    QString Row(int row) const { return c.ListView1->topLevelItem(row)->text(0); }
    int Rows() const { return c.ListView1->topLevelItemCount(); }
    bool PageEnabled(int page) const { return c.PageControl2->isTabEnabled(page); }
    // Makes n Text objects through the menu.
    void AddTexts(int n) {
        for (int i = 0; i < n; ++i)
            c.AddTextObjekt->trigger();
    }
};
