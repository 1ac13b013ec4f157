// Dialogs built from resource templates. A modal and a modeless dialog differ only in how they are
// created and ended: both are created with CreateDialogParamW and run by our own message loop, so
// that PreTranslateMessage (tooltips, dialog keys) works in both.
#pragma once
#include "platform/win/Wnd.h"

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr) : m_templateId(templateId), m_hParent(parent) {}

  // Runs the dialog until EndDialog; the owner (if any) is disabled meanwhile. Returns the code
  // given to EndDialog, or -1 when the window cannot be created. The window is destroyed on return.
  INT_PTR DoModal();
  // Creates the dialog modeless; it lives until DestroyWindow.
  bool Create(HWND parent = nullptr);
  // Ends a modal dialog with the code (DoModal returns it); destroys a modeless one.
  void EndDialog(INT_PTR result);
  bool IsModal() const { return m_modal; }
  UINT TemplateId() const { return m_templateId; }

  bool PreTranslateMessage(MSG* msg) override;

 protected:
  // Base: DoDataExchange, then TRUE (the system sets the focus).
  virtual BOOL OnInitDialog();
  // Attaches the member control objects to the template's controls (DdxControl).
  virtual void DoDataExchange() {}
  // Enter and Escape (IDOK / IDCANCEL). Base: EndDialog with that id.
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Subclasses the template's control `id` with `control`. False when the control does not exist.
  bool DdxControl(int id, CWnd& control);

  BOOL OnCommand(WPARAM wp, LPARAM lp) override;
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

  static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  UINT m_templateId;
  HWND m_hParent;
  bool m_modal = false;
  bool m_endModal = false;
  INT_PTR m_result = 0;
};
