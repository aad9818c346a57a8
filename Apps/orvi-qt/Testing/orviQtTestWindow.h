// What orvi-qt's tests share: the main window with the generated mesh or
// with files and options of a command line, on screen and drawn once; its
// camera; pictures compared; and the test program's main().
#ifndef orviQtTestWindow_h
#define orviQtTestWindow_h

#include "orviMeshes.h"
#include "orviQtWindow.h"
#include "orviTimeSeries.h"
#include "orviViewerOptions.h"

#include "QVTKOpenGLNativeWidget.h"
#include "vtkCamera.h"
#include "vtkMath.h"
#include "vtkMatrix4x4.h"
#include "vtkRenderer.h"

#include <QApplication>
#include <QImage>
#include <QSurfaceFormat>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>

namespace orvi_test
{

/// The window showing meshes, or the generated mesh when there are none.
/// With the time series the meshes were read from, and --parts, as orvi-qt's
/// main() shows them.
inline std::unique_ptr<orvi::QtWindow> ShowWindow(const orvi::ViewerOptions& options,
  std::ostream& log,
  std::vector<orvi::NamedMesh> meshes = {},
  std::unique_ptr<orvi::TimeSeries> series = nullptr)
{
  auto window = std::make_unique<orvi::QtWindow>(options, log);
  std::string error;
  if (meshes.empty())
  {
    meshes.push_back({ "generated mesh", orvi::MakeDefaultMesh(error) });
  }
  EXPECT_TRUE(window->ShowMeshes(meshes, error, std::move(series)) &&
    (options.Parts.empty() || window->ShowOnlyParts(options.Parts, error)))
    << error;
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window->GetView()->isValid(); }));
  window->GetViewer().Render();
  QApplication::processEvents();
  return window;
}

inline std::unique_ptr<orvi::QtWindow> ShowGeneratedMesh(orvi::Navigation nav,
  int width,
  int height,
  std::ostream& log)
{
  orvi::ViewerOptions options;
  options.Nav = nav;
  options.Width = width;
  options.Height = height;
  return ShowWindow(options, log);
}

/// The window showing the meshes of an orvi-qt command line, 900 x 700, the
/// files kept open to step through.
inline std::unique_ptr<orvi::QtWindow> ShowCommandLine(std::vector<std::string> args,
  std::ostream& log)
{
  std::vector<char*> argv = { const_cast<char*>("orvi-qt") };
  for (std::string& arg : args)
  {
    argv.push_back(arg.data());
  }
  orvi::ViewerOptions options;
  options.Width = 900;
  options.Height = 700;
  std::string error;
  const int argc = static_cast<int>(argv.size());
  EXPECT_TRUE(orvi::ParseViewerOptions(argc, argv.data(), options, error, orvi::Host::Qt)) << error;
  std::vector<orvi::NamedMesh> meshes;
  auto series = std::make_unique<orvi::TimeSeries>();
  series->SetStart(options.Step, options.TimeGiven, options.Time);
  EXPECT_TRUE(orvi::LoadMeshes(options.MeshFiles, log, meshes, error, {}, {}, series.get()))
    << error;
  return ShowWindow(options, log, meshes, std::move(series));
}

inline double Distance(const double a[3], const double b[3])
{
  return std::sqrt(vtkMath::Distance2BetweenPoints(a, b));
}

inline vtkCamera* CameraOf(orvi::QtWindow& window)
{
  return window.GetViewer().GetRenderer()->GetActiveCamera();
}

/// Where a world point lies in a view of that size as a camera saw it
/// (widget pixels, origin top left).
inline QPointF Projected(vtkCamera* camera, const double point[3], QSize view)
{
  double p[4] = { point[0], point[1], point[2], 1 };
  camera->GetCompositeProjectionTransformMatrix(view.width() / double(view.height()), -1, 1)
    ->MultiplyPoint(p, p);
  return { (p[0] / p[3] + 1.0) * view.width() / 2, (1.0 - p[1] / p[3]) * view.height() / 2 };
}

/// The share of pixels, in percent, that differ between two images (100
/// when their sizes differ).
inline double PercentChanged(const QImage& a, const QImage& b)
{
  if (a.size() != b.size() || a.isNull())
  {
    return 100.0;
  }
  long changed = 0;
  for (int y = 0; y < a.height(); ++y)
  {
    for (int x = 0; x < a.width(); ++x)
    {
      changed += a.pixel(x, y) != b.pixel(x, y);
    }
  }
  return 100.0 * static_cast<double>(changed) / (a.width() * a.height());
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
