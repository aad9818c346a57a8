"""Renders a mesh navigated by vtkMervoInteractor, with the colour legend,
drives one rotation through the navigator's interaction states and writes a
PNG. Runs headless (under Xvfb) as well as on a desktop.

Usage: python3 orvi_example.py OUTPUT.png
"""
import sys

from vtkmodules.vtkCommonCore import vtkCommand
from vtkmodules.vtkFiltersSources import vtkSuperquadricSource
from vtkmodules.vtkFiltersCore import vtkElevationFilter
from vtkmodules.vtkIOImage import vtkPNGWriter
from vtkmodules.vtkRenderingCore import (
    vtkActor,
    vtkPolyDataMapper,
    vtkRenderer,
    vtkRenderWindow,
    vtkWindowToImageFilter,
)
from vtkmodules.vtkRenderingUI import vtkGenericRenderWindowInteractor
import vtkmodules.vtkRenderingOpenGL2  # noqa: F401  (OpenGL overrides)
import vtkmodules.vtkRenderingFreeType  # noqa: F401  (text)

from vtkorvi import vtkColorTableLegendActor, vtkMervoInteractor


def main(output):
    source = vtkSuperquadricSource()
    source.SetToroidal(1)
    source.SetThetaResolution(64)
    source.SetPhiResolution(32)
    elevation = vtkElevationFilter()
    elevation.SetLowPoint(-1, 0, 0)
    elevation.SetHighPoint(1, 0, 0)
    elevation.SetInputConnection(source.GetOutputPort())
    mapper = vtkPolyDataMapper()
    mapper.SetInputConnection(elevation.GetOutputPort())
    actor = vtkActor()
    actor.SetMapper(mapper)

    legend = vtkColorTableLegendActor()
    legend.SetLookupTable(mapper.GetLookupTable())
    legend.SetTitle("elevation")
    legend.AutoResizeTextOn()
    legend.GetPositionCoordinate().SetValue(0.85, 0.1)
    legend.SetPosition2(0.13, 0.8)

    renderer = vtkRenderer()
    renderer.AddActor(actor)
    renderer.AddActor2D(legend)
    window = vtkRenderWindow()
    window.SetSize(640, 480)
    window.AddRenderer(renderer)
    interactor = vtkGenericRenderWindowInteractor()
    interactor.SetRenderWindow(window)
    navigator = vtkMervoInteractor()
    interactor.SetInteractorStyle(navigator)
    interactor.Initialize()
    renderer.ResetCamera()
    window.Render()

    # A host's rotation: button down, motions, button up.
    interactor.SetEventInformation(320, 240, 0, 0)
    navigator.ClearMoved()
    navigator.StartRotate()
    for step in range(1, 9):
        interactor.SetEventInformation(320 + 8 * step, 240 + 5 * step, 0, 0)
        interactor.InvokeEvent(vtkCommand.MouseMoveEvent)
    navigator.EndRotate()
    print("moved", navigator.GetMoved(), "drag" if navigator.HasMoved() else "click")

    grab = vtkWindowToImageFilter()
    grab.SetInput(window)
    writer = vtkPNGWriter()
    writer.SetFileName(output)
    writer.SetInputConnection(grab.GetOutputPort())
    writer.Write()
    print("wrote", output)
    return 0 if navigator.HasMoved() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "orvi_example.png"))
