// What VTK says while a mesh file is read: its errors, kept as the reason
// of a refusal, and the reader's progress, printed by tenths. The loader
// installs both around every read (see orviMeshLoader.cxx).
#ifndef orviReadMessages_h
#define orviReadMessages_h

#include "vtkNew.h"
#include "vtkOutputWindow.h"
#include "vtkSmartPointer.h"

#include <ostream>
#include <string>

class vtkObject;

namespace orvi
{

// Catches what VTK reports while a file is read (errors of the reader, of
// readers it runs inside itself, of arrays it allocates, and warnings that
// say "error", as VTK's legacy reader gives for a file cut short), so that
// such a file is refused with VTK's own words instead of showing an empty
// view. Other messages go on to the window it replaced.
class ReadMessages : public vtkOutputWindow
{
public:
  static ReadMessages* New();
  vtkTypeMacro(ReadMessages, vtkOutputWindow);

  void DisplayErrorText(const char* text) override { this->Keep(text); }
  void DisplayWarningText(const char* text) override { this->Filter(text, false); }
  void DisplayGenericWarningText(const char* text) override { this->Filter(text, true); }

  vtkSmartPointer<vtkOutputWindow> Previous;
  std::string First; // the first error, without VTK's file and line
  int Errors = 0;
  // The pipeline's report that the reader failed, counted apart.
  std::string Generic;
  int Failures = 0;
  bool Failed() const { return this->Errors + this->Failures > 0; }
  std::string Why() const { return this->First.empty() ? this->Generic : this->First; }

private:
  void Keep(const char* text);
  void Filter(const char* text, bool generic);
};

// Installs a ReadMessages as VTK's output window for its lifetime.
class CatchReadMessages
{
public:
  CatchReadMessages()
  {
    this->Messages->Previous = vtkOutputWindow::GetInstance();
    vtkOutputWindow::SetInstance(this->Messages);
  }
  ~CatchReadMessages() { vtkOutputWindow::SetInstance(this->Messages->Previous); }
  CatchReadMessages(const CatchReadMessages&) = delete;
  CatchReadMessages& operator=(const CatchReadMessages&) = delete;
  vtkNew<ReadMessages> Messages;
};

// Reader progress by tenths, rising only: VTK's legacy reader runs a reader
// of the file's kind inside itself, and both report their own progress.
struct ProgressPrinter
{
  std::ostream* Log = nullptr;
  std::string Name;
  int LastTenth = -1;
  // Observes a reader's ProgressEvent; clientData is the printer.
  static void Callback(vtkObject*, unsigned long, void* clientData, void* callData);
  // The read's progress, from 0 to 1: a line each tenth.
  void Tell(double progress);
};

} // namespace orvi

#endif
