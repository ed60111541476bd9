' Scripts the registered control the way a page does, against the stand-in
' document of standin.vbs, and checks what it wrote into the document, the
' data files under the Windows directory and the dialogs it asked for.
'
' Run as one file with the stand-in put in front of it (the script host
' here offers neither ExecuteGlobal nor jobs of several files):
'   cscript //nologo standin-and-check.vbs PAGE.html TEXTS.txt
' with the page and script_texts.txt in UTF-16 with a byte-order mark.
'
' The dialog script and log files come from VELLUMINE_DIALOG_SCRIPT and
' VELLUMINE_DIALOG_LOG. Ends with the line "N passed, N failed" and exits 0
' only when nothing failed.
Dim fso, shell, passed, failed, problems, control, doc, dataFolder, pageHtml, logPath, answersPath, memoKey
memoKey = ""
Set fso = CreateObject("Scripting.FileSystemObject")
Dim texts
Set texts = CreateObject("Scripting.Dictionary")
Set shell = CreateObject("WScript.Shell")
passed = 0
failed = 0

pageHtml = fso.OpenTextFile(WScript.Arguments(0), 1, False, -1).ReadAll()
LoadTexts WScript.Arguments(1)
logPath = shell.Environment("PROCESS")("VELLUMINE_DIALOG_LOG")
answersPath = shell.Environment("PROCESS")("VELLUMINE_DIALOG_SCRIPT")
dataFolder = fso.GetSpecialFolder(0).Path & "\Vellumine\"

' The Japanese texts, from script_texts.txt (the script file stays ASCII
' and the script host here has no ChrW).
Sub LoadTexts(path)
  Dim stream, line, at
  Set stream = fso.OpenTextFile(path, 1, False, -1)
  Do While Not stream.AtEndOfStream
    line = stream.ReadLine()
    at = InStr(line, "=")
    If at > 0 Then texts.Add Left(line, at - 1), Mid(line, at + 1)
  Loop
  stream.Close
End Sub

Function T(key)
  If Not texts.Exists(key) Then Err.Raise 1002, "script_check", "no text " & key
  T = texts(key)
End Function

' Prints a line with every character outside printable ASCII as "?": the
' script host here can't echo other text to a pipe.
Sub Say(text)
  Dim i, ch, out, printable
  printable = " !""#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~"
  out = ""
  For i = 1 To Len(text)
    ch = Mid(text, i, 1)
    If InStr(1, printable, ch, vbBinaryCompare) > 0 Then out = out & ch Else out = out & "?"
  Next
  WScript.Echo out
End Sub

Sub Expect(condition, what)
  If Not condition Then
    problems = problems + 1
    Say "  not so: " & what
  End If
End Sub

Sub ExpectEqual(actual, expected, what)
  If actual <> expected Then
    problems = problems + 1
    Say "  " & what & ": got [" & actual & "] expected [" & expected & "]"
  End If
End Sub

Sub RunTest(ByVal name)
  problems = 0
  On Error Resume Next
  Err.Clear
  RunNamed name
  If Err.Number <> 0 Then
    problems = problems + 1
    Say "  error " & Hex(Err.Number) & ": " & Err.Description
  End If
  On Error GoTo 0
  If problems = 0 Then
    passed = passed + 1
    Say "ok   " & name
  Else
    failed = failed + 1
    Say "FAIL " & name
  End If
End Sub

Function Element(id)
  Set Element = doc.getElementById(id)
  If Element Is Nothing Then Err.Raise 1000, "script_check", "no element " & id
End Function

Function DialogLog()
  DialogLog = ""
  If fso.FileExists(logPath) Then
    If fso.GetFile(logPath).Size > 0 Then DialogLog = fso.OpenTextFile(logPath, 1, False, -1).ReadAll()
  End If
End Function

Sub ClearDialogLog()
  If fso.FileExists(logPath) Then fso.DeleteFile logPath
End Sub

Sub QueueAnswers(lines)
  Dim stream
  Set stream = fso.CreateTextFile(answersPath, True, True)
  stream.Write lines
  stream.Close
End Sub

Function FilesIn(folder)
  If fso.FolderExists(folder) Then Set FilesIn = fso.GetFolder(folder).Files Else Set FilesIn = Nothing
End Function

' The default calendar font, "ＭＳ ゴシック".
Function CalFont()
  CalFont = T("calfont")
End Function

' --- The tests ---

Sub TestCreatesByProgId()
  Set control = CreateObject("Vellumine.Skerrow")
  Expect IsObject(control), "an object"
  Expect TypeName(control) = "ISkerrow", "typed by its type library, got " & TypeName(control)
End Sub

Sub TestInitPageWritesCalendarAndSettings()
  Dim months
  months = Array("", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec")
  control.InitPage doc
  ExpectEqual Element("monthname").innerHTML, "<font color=""#000000""><b>" & months(Month(Date)) & "</b></font>", "month name"
  Expect fso.FileExists(dataFolder & "config"), "config under " & dataFolder
End Sub

Sub TestSetCalenderDrawsIntoWrittenCells()
  control.SetCalender doc, 1980, 1
  ExpectEqual Element("monthname").innerHTML, "<font color=""#000000""><b>Jan</b></font>", "month name"
  ExpectEqual Element("cal2").outerHTML, "<div id=""cal2"" onmouseup=Skerrow.ChangeDate(document,1980,1,1)>" & _
    "<pre style=""font-family:" & CalFont() & """><b style=""color:#000000""> 1</b></pre></div>", "first day"
  ExpectEqual Element("cal2s").innerHTML, "<pre style=""font-family:" & CalFont() & """><b style=""color:White""> 1</b></pre>", "shadow of the first day"
  ExpectEqual Element("cal0").innerHTML, "<pre style=""font-family:" & CalFont() & """><b style=""color:#c00040"">  </b></pre>", "blank Sunday"
  ExpectEqual Element("cal32").innerHTML, "<pre style=""font-family:" & CalFont() & """><b style=""color:#000000"">31</b></pre>", "last day"
  ExpectEqual Element("cal33").outerHTML, "<div id=""cal33""><pre style=""font-family:" & CalFont() & """><b style=""color:#000000"">  </b></pre></div>", "blank after the month"
End Sub

Sub TestChangeScheduleStoresAndShows()
  Dim title, link, path
  title = "<pre onmouseup=movewnd(""schedule"")>" & T("scheduletitle") & "</pre>"
  link = "<pre onmouseup=change(""schdlinput"")>" & T("change") & "</pre>"
  path = dataFolder & "schdl\20050307"
  control.ChangeSchedule doc, "x<y & z", 2005, 3, 7
  Expect fso.FileExists(path), path & " written"
  If fso.FileExists(path) Then ExpectEqual fso.GetFile(path).Size, 4 + 2 * Len("x&lt;y &amp; z"), "record size"
  ExpectEqual Element("schedule").innerHTML, title & "<pre>x&lt;y &amp; z</pre>" & link, "display"
  ExpectEqual Element("schdllst").innerText, "x<y & z", "text field"
  ExpectEqual Element("schdllstsubmit").outerHTML, "<input id=""schdllstsubmit"" type=""button"" value=""" & _
    T("change") & """ onclick=""Skerrow.ChangeSchedule(document,schdlfrm.schdllst.value,2005,3,7)""/>", "button"
  control.ChangeSchedule doc, Null, 2005, 3, 7
  Expect Not fso.FileExists(path), "a null schedule removes the file"
  ExpectEqual Element("schedule").innerHTML, title & link, "display without a schedule"
End Sub

Sub TestAddMemoWritesFilesAndWindows()
  Dim files, list, at, subject
  subject = T("subject")
  control.AddMemo doc, subject, T("message")
  Expect fso.FileExists(dataFolder & "memolist"), "memolist written"
  Set files = FilesIn(dataFolder & "memo")
  Expect Not files Is Nothing, "memo folder made"
  ExpectEqual files.Count, 1, "memo files"
  ' The key, from the list line that opens the memo's window.
  list = Element("memo").innerHTML
  at = InStr(list, "<pre onmouseup=change('memo")
  Expect at > 0, "subject listed"
  If at > 0 Then memoKey = Mid(list, at + Len("<pre onmouseup=change('memo"), 16)
  ExpectEqual Mid(list, at, 52 + Len(subject)), "<pre onmouseup=change('memo" & memoKey & "')>" & subject & "</pre>", "list line"
  Expect fso.FileExists(dataFolder & "memo\" & memoKey), "memo file named by its key"
  Expect Not doc.getElementById("memo" & memoKey) Is Nothing, "memo window written"
  ExpectEqual Element("subject" & memoKey).id, "subject" & memoKey, "subject element written"
End Sub

Sub TestAddMemoRefusesNullSubject()
  ClearDialogLog
  control.AddMemo doc, Null, T("message")
  ExpectEqual DialogLog(), "message [] " & T("nosubject") & vbCrLf, "message shown"
  ExpectEqual FilesIn(dataFolder & "memo").Count, 1, "memo files"
End Sub

Sub TestNullDocumentIsHarmless()
  control.SetCalender Nothing, 2000, 1
  control.SetCalender Null, 2000, 1
  control.ChangeMemoPage doc, 0
End Sub

Sub TestOpenFileTakesTheScriptedPick()
  ClearDialogLog
  QueueAnswers "file C:\windows\win.ini" & vbCrLf
  control.OpenFile doc
  ExpectEqual Element("linkfilename").getAttribute("value"), "C:\windows\win.ini", "picked path"
  ExpectEqual DialogLog(), "file" & vbCrLf, "dialog asked"
End Sub

Sub TestSecondObjectReadsTheStoredMemo()
  Dim other, page
  Set other = CreateObject("Vellumine.Skerrow")
  Set page = NewDocument(pageHtml)
  other.InitPage page
  Expect memoKey <> "", "a memo was added before"
  Expect Not page.getElementById("memo" & memoKey) Is Nothing, "memo window of " & memoKey
End Sub

' The script host here has no GetRef: the tests by name.
Sub RunNamed(ByVal name)
  If name = "CreatesByProgId" Then
    TestCreatesByProgId
  ElseIf name = "InitPageWritesCalendarAndSettings" Then
    TestInitPageWritesCalendarAndSettings
  ElseIf name = "SetCalenderDrawsIntoWrittenCells" Then
    TestSetCalenderDrawsIntoWrittenCells
  ElseIf name = "ChangeScheduleStoresAndShows" Then
    TestChangeScheduleStoresAndShows
  ElseIf name = "AddMemoWritesFilesAndWindows" Then
    TestAddMemoWritesFilesAndWindows
  ElseIf name = "AddMemoRefusesNullSubject" Then
    TestAddMemoRefusesNullSubject
  ElseIf name = "NullDocumentIsHarmless" Then
    TestNullDocumentIsHarmless
  ElseIf name = "OpenFileTakesTheScriptedPick" Then
    TestOpenFileTakesTheScriptedPick
  ElseIf name = "SecondObjectReadsTheStoredMemo" Then
    TestSecondObjectReadsTheStoredMemo
  Else
    Err.Raise 1001, "script_check", "no test " & name
  End If
End Sub

Set doc = NewDocument(pageHtml)
RunTest "CreatesByProgId"
If IsObject(control) Then
  RunTest "InitPageWritesCalendarAndSettings"
  RunTest "SetCalenderDrawsIntoWrittenCells"
  RunTest "ChangeScheduleStoresAndShows"
  RunTest "AddMemoWritesFilesAndWindows"
  RunTest "AddMemoRefusesNullSubject"
  RunTest "NullDocumentIsHarmless"
  RunTest "OpenFileTakesTheScriptedPick"
  RunTest "SecondObjectReadsTheStoredMemo"
End If
Set control = Nothing
Say passed & " passed, " & failed & " failed"
If failed = 0 Then WScript.Quit 0 Else WScript.Quit 1
