// Script classes: fields, methods, properties, default members, Me, With, and the order of
// Class_Initialize and Class_Terminate.
#include "script/vbscript/page_run.h"

namespace mirelda::script::vbscript::testing {
namespace {

constexpr const char* kClasses =
    "Class Point\n Public X, Y\n Private hidden\n"
    " Public Function Sum()\n  Sum = X + Y\n End Function\n"
    " Public Function Self()\n  Set Self = Me\n End Function\n"
    " Public Sub Grow(n)\n  X = X + n\n  Bump Y\n End Sub\n"
    " Private Sub Bump(v)\n  v = v + 1\n End Sub\n"
    "End Class\n"
    "Class Box\n Private v\n"
    " Public Property Get Value\n  Value = v\n End Property\n"
    " Public Property Let Value(n)\n  v = n * 2\n End Property\n"
    "End Class\n"
    "Class List\n Private items\n"
    " Private Sub Class_Initialize\n  items = Array(\"a\", \"b\")\n End Sub\n"
    " Public Default Property Get Item(i)\n  Item = items(i)\n End Property\n"
    "End Class\n"
    "Class T\n Public Name\n"
    " Private Sub Class_Initialize\n  Response.Write \"init;\"\n End Sub\n"
    " Private Sub Class_Terminate\n  Response.Write \"term \" & Name & \";\"\n End Sub\n"
    "End Class\n"
    "Class Faulty\n Private Sub Class_Terminate\n  x = 1 / 0\n End Sub\nEnd Class\n";

TEST(VbsClasses, MembersAndProperties) {
  std::vector<OutputCase> cases = {
      {"fields and a method", "Set p = New Point : p.X = 2 : p.Y = 3 : Response.Write p.Sum()",
       "5"},
      {"typename is the class name", "Set p = New Point : Response.Write TypeName(p)", "Point"},
      {"me is the instance", "Set p = New Point : Response.Write (p.Self Is p)", "True"},
      {"a method changes fields, byref to a field",
       "Set p = New Point : p.X = 1 : p.Y = 1 : p.Grow 4 : Response.Write p.X & p.Y", "52"},
      {"property let and get", "Set b = New Box : b.Value = 4 : Response.Write b.Value", "8"},
      {"default property", "Set l = New List : Response.Write l(1) & l.Item(0)", "ba"},
      {"objects are references", "Set p = New Point : Set q = p : q.X = 9 : Response.Write p.X",
       "9"},
      {"with", "Set p = New Point\nWith p\n .X = 10\n .Y = 5\n Response.Write .Sum()\nEnd With",
       "15"},
      {"nested with",
       "Set p = New Point : Set b = New Box\nWith p\n .X = 1\n With b\n  .Value = 3\n End With\n"
       " Response.Write .X & b.Value\nEnd With",
       "16"},
      {"isobject and nothing",
       "Set p = New Point : Response.Write IsObject(p) : Set p = Nothing : Response.Write (p Is "
       "Nothing)",
       "TrueTrue"},
  };
  ExpectOutputs(kClasses, cases);
}

TEST(VbsClasses, InitializeAndTerminateOrder) {
  std::vector<OutputCase> cases = {
      {"terminate when the last reference goes",
       "Set a = New T : a.Name = \"a\"\nSet a = Nothing\nResponse.Write \"after;\"",
       "init;term a;after;"},
      {"a second reference keeps it",
       "Set a = New T : a.Name = \"a\" : Set b = a\nSet a = Nothing\nResponse.Write \"mid;\"\n"
       "Set b = Nothing\nResponse.Write \"end;\"",
       "init;mid;term a;end;"},
      {"what remains ends with the page, in declaration order",
       "Set a = New T : a.Name = \"a\" : Set b = New T : b.Name = \"b\"\nResponse.Write \"end;\"",
       "init;init;end;term a;term b;"},
      {"a local ends when its procedure returns",
       "Sub S\n Dim o\n Set o = New T\n o.Name = \"local\"\nEnd Sub\nS\nResponse.Write \"back;\"",
       "init;term local;back;"},
      {"an error inside class_terminate does not end the page",
       "Set f = New Faulty\nSet f = Nothing\nResponse.Write \"fine\"", "fine"},
  };
  ExpectOutputs(kClasses, cases);
}

TEST(VbsClasses, Errors) {
  const std::vector<ErrorCase> cases = {
      {"private member from outside", "Set p = New Point\nx = p.hidden", 438, 2},
      {"unknown member", "Set p = New Point\np.Nope 1", 438, 2},
      {"set of a non-object to a field", "Set p = New Point\nSet p.X = 4", 424, 2},
  };
  ExpectErrors(kClasses, cases);
}

}  // namespace
}  // namespace mirelda::script::vbscript::testing
