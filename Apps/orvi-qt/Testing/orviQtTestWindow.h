// What orvi-qt's tests share: the main window with the generated mesh, on
// screen and drawn once, and the test program's main().
#ifndef orviQtTestWindow_h
#define orviQtTestWindow_h

#include "orviMeshes.h"
#include "orviQtWindow.h"

#include "QVTKOpenGLNativeWidget.h"

#include <QApplication>
#include <QSurfaceFormat>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace orvi_test
{

inline std::unique_ptr<orvi::QtWindow> ShowGeneratedMesh(orvi::Navigation nav,
  int width,
  int height,
  std::ostream& log)
{
  orvi::ViewerOptions options;
  options.Nav = nav;
  options.Width = width;
  options.Height = height;
  auto window = std::make_unique<orvi::QtWindow>(options, log);
  std::string error;
  EXPECT_TRUE(window->ShowMeshes({ { "generated mesh", orvi::MakeDefaultMesh(error) } }, error));
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetView()->isValid(); }));
  window->GetViewer().Render();
  QApplication::processEvents();
  return window;
}

/// The tests of a program, in a QApplication whose OpenGL format is the
/// widget's (every context's, before Qt starts).
inline int RunQtTests(int argc, char* argv[])
{
  QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

} // namespace orvi_test

#endif
