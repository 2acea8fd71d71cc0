<script>
"use strict";
// Added by the companion host to the page it shows: applies the applet's
// live edits and tells the display around the page about taps.
(() => {
  const edits = {{EDITS}}; // the edits already in this copy of the page
  function applyEdit(edit) {
    const targets = edit.byClass ? Array.from(document.getElementsByClassName(edit.tag))
                                 : [document.getElementById(edit.tag)].filter(Boolean);
    for (const element of targets) {
      if ("content" in edit) element.innerHTML = edit.content;
      else {
        try { element.setAttribute(edit.property, edit.value); } catch (e) { /* not an attribute name */ }
      }
    }
  }
  addEventListener("message", (event) => {
    if (event.source !== parent || !event.data || event.data.kesh !== "edits") return;
    for (const edit of event.data.edits) applyEdit(edit);
  });
  document.addEventListener("click", (event) => {
    // A link opens in a new tab: inside the display's frame there would be no way back.
    const link = event.target.closest ? event.target.closest("a[href]") : null;
    if (link && !link.getAttribute("href").startsWith("#") && !/^javascript:/i.test(link.href) &&
        ["", "_self", "_parent", "_top"].includes(link.target.toLowerCase())) {
      link.target = "_blank";
      link.rel = "noopener";
    }
    const target = event.target.closest ? event.target.closest("[id]") : null;
    parent.postMessage({ kesh: "tap", x: Math.round(event.clientX), y: Math.round(event.clientY),
                         id: target ? target.id : "" }, "*");
  }, true);
  const ready = () => parent.postMessage({ kesh: "ready", page: location.pathname + location.search, edits }, "*");
  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", ready);
  else ready();
})();
</script>
