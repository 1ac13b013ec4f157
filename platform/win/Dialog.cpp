#include "platform/win/Dialog.h"

#include "platform/win/MessageLoop.h"

INT_PTR CDialog::DoModal() {
  if (m_hWnd) return -1;
  m_modal = true;
  m_endModal = false;
  m_result = -1;
  HWND owner = m_hParent;
  if (!CreateDialogParamW(AppInstance(), MAKEINTRESOURCEW(m_templateId), owner, StaticDialogProc, (LPARAM)this) ||
      !m_hWnd) {
    m_modal = false;
    return -1;
  }
  bool ownerDisabled = false;
  if (owner && IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    ownerDisabled = true;
  }
  while (!m_endModal && m_hWnd) {
    if (!PumpMessage()) break;  // WM_QUIT: PumpMessage posted it again for the outer loop
  }
  // Enable the owner before the dialog goes away, so that activation returns to it.
  if (ownerDisabled) ::EnableWindow(owner, TRUE);
  if (m_hWnd) ::DestroyWindow(m_hWnd);
  m_modal = false;
  return m_result;
}

bool CDialog::Create(HWND parent) {
  if (m_hWnd) return false;
  m_modal = false;
  if (parent) m_hParent = parent;
  CreateDialogParamW(AppInstance(), MAKEINTRESOURCEW(m_templateId), m_hParent, StaticDialogProc, (LPARAM)this);
  return m_hWnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
  if (!m_modal) {
    DestroyWindow();
    return;
  }
  m_result = result;
  m_endModal = true;
  // Wakes our loop if it is waiting in GetMessage.
  if (m_hWnd) PostMessage(WM_NULL);
}

bool CDialog::PreTranslateMessage(MSG* msg) {
  // Only keyboard input: Tab, Enter, Escape and mnemonics of the dialog.
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
  return m_hWnd && IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

bool CDialog::DdxControl(int id, CWnd& control) {
  HWND item = ::GetDlgItem(m_hWnd, id);
  if (!item) return false;
  if (control.m_hWnd == item) return true;
  return control.SubclassWindow(item);
}

BOOL CDialog::OnCommand(WPARAM wp, LPARAM lp) {
  UINT id = LOWORD(wp), code = HIWORD(wp);
  if (code != BN_CLICKED) return FALSE;
  if (id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) return OnInitDialog();
  return CWnd::WindowProc(msg, wp, lp);
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Everything after WM_INITDIALOG reaches the object through its subclassed window procedure;
  // the dialog procedure only says "not handled" so that the system's dialog defaults apply.
  if (msg != WM_INITDIALOG) return FALSE;
  CDialog* dialog = reinterpret_cast<CDialog*>(lp);
  if (!dialog || FromHandle(hwnd)) return FALSE;
  if (!dialog->SubclassWindow(hwnd)) return FALSE;
  return dialog->Dispatch(WM_INITDIALOG, wp, lp);
}
