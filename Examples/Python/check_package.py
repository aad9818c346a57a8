"""Checks that the installed vtkorvi package imports with the system Python
and that its classes derive from the vtkmodules classes they extend."""
import sys

import vtkorvi
from vtkmodules.vtkCommonExecutionModel import vtkDataSetAlgorithm
from vtkmodules.vtkInteractionStyle import vtkInteractorStyleTrackballCamera
from vtkmodules.vtkRenderingAnnotation import vtkScalarBarActor
from vtkmodules.vtkRenderingCore import vtkAbstractPicker, vtkTDxInteractorStyleCamera
from vtkmodules.vtkRenderingOpenGL2 import vtkDefaultPass
from vtkmodules.vtkRenderingUI import vtkGenericRenderWindowInteractor

EXPECTED = {
    "vtkKivInteractor": vtkInteractorStyleTrackballCamera,
    "vtkMervoInteractor": vtkorvi.vtkKivInteractor,
    "vtkCatiaInteractor": vtkorvi.vtkKivInteractor,
    "vtkInteractorStyleMervo": vtkInteractorStyleTrackballCamera,
    "vtkInteractorStyleCATIA": vtkInteractorStyleTrackballCamera,
    "vtkSelectionPicker": vtkAbstractPicker,
    "vtkFrustumSelectionPicker": vtkorvi.vtkSelectionPicker,
    "vtkVisibleSelectionPicker": vtkorvi.vtkSelectionPicker,
    "vtkKivMainPass": vtkDefaultPass,
    "vtkColorTableLegendActor": vtkScalarBarActor,
    "vtkKivUnstructuredGridGenerator": vtkDataSetAlgorithm,
    "vtkSimpleRenderWindowInteractor": vtkGenericRenderWindowInteractor,
    "vtkTDxInteractorStyleCameraFocalPoint": vtkTDxInteractorStyleCamera,
    "vtkTDxSimpleDevice": vtkorvi.vtkTDxDevice,
}

failures = []
for name, base in EXPECTED.items():
    cls = getattr(vtkorvi, name, None)
    if cls is None or not issubclass(cls, base):
        failures.append("%s does not derive from %s" % (name, base.__name__))
if failures:
    print("\n".join(failures))
    sys.exit(1)
print("vtkorvi: %d classes with the expected bases" % len(EXPECTED))
