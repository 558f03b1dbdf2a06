// The error dialog "frmHOLLIN" as the error entry uses it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "hollin.h"

namespace trap {

// The dialog's controls, by the names of their roles. Picture1 is the first of four
// stacked panels, one per view.
enum ErrorDialogControl : int {
    kCombo1 = 1001,
    kPicture1 = 1010,  // to 1013
    kText1 = 1020,
    kNsCtrlProjLab, kErrProject,
    kNsCtrlLabel7, kErrType,
    kNsCtrlLabel1, kErrModule,
    kNsCtrlLabel2, kErrProcedure,
    kNsCtrlLabel4, kErrLine,
    kNsCtrlLabel5, kErrNo,
    kNsCtrlLabel6, kErrText,
    kNsCtrlCalls = 1040,
    kNsCtrlArgs = 1050,
    kLblErrCnt = 1060,
    kNsCtrlContinue = 1070,
    kHollinPrint,
    kNsCtrlMore,
    kNsHelp,
    kCmdWWW,
};

// Answers of the dialog.
constexpr int16_t kAnswerContinue = 0;
constexpr int16_t kAnswerBreak = 5;

// The host executable of the development environment whose help goes through the
// help engine object.
constexpr const char* kHelpEngineHost = "VB6.EXE";

// Shows the error dialog for the error record, modal, and returns its answer: 0 for
// Continue, 5 for Break. Window messages go on being dispatched meanwhile.
Answer ShowErrorDialog();

// Tests of the procedure frame answer in the dialog's place; an empty function restores
// the dialog.
void SetErrorDialogStandIn(std::function<Answer()> stand_in);

// The error dialog's window procedure (the class "frmHOLLIN").
LRESULT CALLBACK ErrorDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The lines a print of the dialog's current view sends to the printer.
std::vector<std::string> ErrorDialogPrintLines(HWND dialog);

// The Windows directory as the system reports it.
std::string pfSys();

// The hover text of a control of the dialog (0: the dialog's own surface); "" for none.
std::string ErrorDialogHoverText(int control);

// Has no effect: the dialog has no status bar. Every hover handler passes its text here.
void UpdateStatusBar(const std::string& message);

}  // namespace trap
