"""vtkorvi: navigators, interactor styles, area pickers, a render pass, a
colour legend, a mesh generator and 3D-mouse input for VTK 9 views."""

# The wrapped classes derive from these VTK modules' classes; load them first.
import vtkmodules.vtkCommonCore  # noqa: F401
import vtkmodules.vtkCommonDataModel  # noqa: F401
import vtkmodules.vtkCommonExecutionModel  # noqa: F401
import vtkmodules.vtkFiltersCore  # noqa: F401
import vtkmodules.vtkFiltersSources  # noqa: F401
import vtkmodules.vtkInteractionStyle  # noqa: F401
import vtkmodules.vtkRenderingCore  # noqa: F401
import vtkmodules.vtkRenderingAnnotation  # noqa: F401
import vtkmodules.vtkRenderingOpenGL2  # noqa: F401
import vtkmodules.vtkRenderingUI  # noqa: F401

from .vtkorviRendering import *  # noqa: F401,F403
