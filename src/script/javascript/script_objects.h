// Components in scripts. A Dispatch object becomes a callable proxy whose property reads, writes
// and calls go through its member table:
//   obj(args)            the default member (Request("x"), Session("k"), rs("name"))
//   obj.Prop             a property without parameters is read at once
//   obj.Prop = v         property write: "set" for objects, "let" for other values
//   obj.Member(args)     a method, or a property with parameters (Request.Form("x"))
//   obj.Member[k]        a property with parameters read with one (Request.Form["x"])
//   obj.Member[k] = v    ... and written (Response.Cookies("c").Item["key"] = "v")
//   obj.Contents[k]      the default member read with k; assigning writes it
//                        (Session.Contents["k"] = v for the page language's Session("k") = v)
// A member the object does not have is error 438.
#pragma once

#include <memory>

#include "duktape.h"
#include "mirelda/dispatch.h"
#include "mirelda/error.h"
#include "mirelda/host.h"

namespace mirelda::script::javascript {

// The hidden property of a script error that holds the page line the error was raised on.
inline constexpr const char kScriptErrorLineKey[] = DUK_HIDDEN_SYMBOL("mireldaLine");

// Creates the proxy handlers of a fresh heap (kept in its stash).
void InstallObjectSupport(duk_context* ctx);

// Pushes the script value of an object; null for Nothing.
void PushObject(duk_context* ctx, std::shared_ptr<Dispatch> object);

// The page objects (Request, Response, Server, Session, Application, in that order) have
// wrappers that the heap makes once: the page that runs puts its own objects behind them.
// Pushes the five wrappers in that order, standing for the context's objects until the page's
// objects are let go; null for an object the context lacks.
inline constexpr size_t kIntrinsicCount = 5;
void PushIntrinsics(duk_context* ctx, ScriptingContext& context);

// The object that the value at idx wraps, or null when it wraps none. A member reference
// (obj.Member without a call) sets *member_of and *member instead.
std::shared_ptr<Dispatch> WrappedObject(duk_context* ctx, duk_idx_t idx,
                                        std::shared_ptr<Dispatch>* member_of, std::string* member);

// When the page's code has ended, the wrappers that die with the page function's variables need
// not let go of their objects one finalizer call at a time: Leave lets go of all the objects at
// once. HoldFinalizers turns the wrappers' finalizers off until ResumeFinalizers; a wrapper that
// outlives the hold is finalized as ever. Holding starts only when the page has wrappers.
void HoldFinalizers(duk_context* ctx);
void ResumeFinalizers(duk_context* ctx);

// Pushes a script error for e: an Error object whose message is the description, with the
// properties number, description and source, and the page line it was raised on.
void PushScriptError(duk_context* ctx, const Error& e);

// Marks the page as ended and makes the engine unwind it past every catch.
void RequestEndOfPage(duk_context* ctx);

// Runs body (which pushes its results and returns their count) and turns what it throws into
// script errors: Error into a script exception, EndOfPage into the end of the page.
template <class Body>
duk_ret_t Guarded(duk_context* ctx, Body&& body) {
  try {
    return body();
  } catch (const Error& e) {
    PushScriptError(ctx, e);
  } catch (const EndOfPage&) {
    RequestEndOfPage(ctx);
    duk_push_string(ctx, "Response.End");
  } catch (const std::exception& e) {
    PushScriptError(ctx, Error(errc::kUnspecified, e.what()));
  }
  return duk_throw(ctx);
}

}  // namespace mirelda::script::javascript
