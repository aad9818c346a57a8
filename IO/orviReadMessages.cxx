#include "orviReadMessages.h"

#include "vtkObjectFactory.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>

namespace orvi
{

vtkStandardNewMacro(ReadMessages);

//------------------------------------------------------------------------------
void ReadMessages::Keep(const char* text)
{
  if (this->Errors++ > 0 || !text)
  {
    return;
  }
  // "ERROR: In FILE, line N\nCLASS (ADDRESS): MESSAGE\n\n" or
  // "Generic Warning: In FILE, line N\nMESSAGE\n\n": the message.
  std::string message = text;
  const auto newline = message.find('\n');
  message = newline == std::string::npos ? message : message.substr(newline + 1);
  const auto colon = message.find("): ");
  message = colon == std::string::npos ? message : message.substr(colon + 3);
  // One line of words: VTK's own lines after the first (an information
  // object's print-out), its " for file: NAME" (the host names the file)
  // and bytes of the file it quotes go.
  message = message.substr(0, message.find('\n'));
  message = message.substr(0, message.find(" for file: "));
  const auto quoted = std::find_if(
    message.begin(), message.end(), [](unsigned char c) { return c < 0x20 || c >= 0x7f; });
  message.erase(quoted, message.end());
  while (!message.empty() &&
    (std::isspace(static_cast<unsigned char>(message.back())) || message.back() == ':'))
  {
    message.pop_back();
  }
  // Object addresses say nothing to a user.
  message = std::regex_replace(message, std::regex(" ?\\(?0x[0-9a-fA-F]+\\)?"), "");
  constexpr std::size_t Longest = 200;
  message = message.size() > Longest ? message.substr(0, Longest) + "..." : message;
  // The pipeline's "Algorithm R returned failure for request: ..." only
  // says that the reader failed: its own message, when it gave one, says
  // why.
  if (message.rfind("Algorithm ", 0) == 0 && message.find("returned failure") != std::string::npos)
  {
    this->Generic = "VTK's reader failed on it";
    --this->Errors;
    ++this->Failures;
    return;
  }
  this->First = message;
}

//------------------------------------------------------------------------------
void ReadMessages::Filter(const char* text, bool generic)
{
  std::string lower = text ? text : "";
  std::transform(lower.begin(),
    lower.end(),
    lower.begin(),
    [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // After VTK's "In FILE, line N", whose file name may say "error".
  const auto body = lower.find('\n');
  if (lower.find("error", body == std::string::npos ? 0 : body) != std::string::npos)
  {
    this->Keep(text);
  }
  else if (this->Previous && generic)
  {
    this->Previous->DisplayGenericWarningText(text);
  }
  else if (this->Previous)
  {
    this->Previous->DisplayWarningText(text);
  }
}

//------------------------------------------------------------------------------
void ProgressPrinter::Callback(vtkObject*, unsigned long, void* clientData, void* callData)
{
  static_cast<ProgressPrinter*>(clientData)->Tell(callData ? *static_cast<double*>(callData) : 0.0);
}

void ProgressPrinter::Tell(double progress)
{
  const int tenth = static_cast<int>(progress * 10.0);
  if (tenth > this->LastTenth)
  {
    this->LastTenth = tenth;
    *this->Log << "  loading " << this->Name << ": " << tenth * 10 << "%\n";
  }
}

} // namespace orvi
