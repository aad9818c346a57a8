/**
 * @file    vtkKivInteractionStates.h
 * @brief   the library's own interaction states, beside VTK's VTKIS_* values
 *
 * An interactor style's State holds VTK's values (none 0, rotate 1, pan 2,
 * spin 3, dolly 4, ...; VTK uses 0 to 19) or one of the two states every
 * navigator and standalone style of this library adds:
 * - VTKIS_KIV_PICK: between StartPick() and EndPick(); the interactor fires
 *   StartPickEvent on entry and EndPickEvent on exit.
 * - VTKIS_KIV_BOXZOOM: while a rubber band is dragged (vtkMervoInteractor's
 *   StartBoxZoom() to EndBoxZoom(), vtkInteractorStyleMervo's StartRBZoom()
 *   to EndRBZoom()). It is entered without StartState(), so it fires no
 *   StartInteractionEvent and starts no timer.
 *
 * vtkKivInteractor answers IsStatePick() and IsStateBoxZoom() for them.
 */

#ifndef vtkKivInteractionStates_h
#define vtkKivInteractionStates_h

#define VTKIS_KIV_PICK 21
#define VTKIS_KIV_BOXZOOM 22

#endif
