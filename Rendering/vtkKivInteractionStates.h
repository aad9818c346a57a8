/**
 * @file    vtkKivInteractionStates.h
 * @brief   the library's own interaction states, beside VTK's VTKIS_* values (0 to 19)
 *
 * VTKIS_KIV_PICK: between StartPick() and EndPick(), which fire the
 * interactor's StartPickEvent and EndPickEvent. VTKIS_KIV_BOXZOOM: while a
 * rubber band is dragged, entered without StartState() (no
 * StartInteractionEvent, no timer).
 */

#ifndef vtkKivInteractionStates_h
#define vtkKivInteractionStates_h

#define VTKIS_KIV_PICK 21
#define VTKIS_KIV_BOXZOOM 22

#endif
