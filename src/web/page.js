"use strict";
// The station page's script: a file of its own, so that the page's policy allows no inline code.
// Keeps the page live: each change of the station comes as an event "now" with /api/now's JSON.
(function () {
  const lang = document.documentElement.lang || "en";
  let lastDrawn;
  const formats = {};
  function number(value, decimals) {
    if (typeof value !== "number") return "–";
    const key = String(decimals);
    formats[key] = formats[key] || new Intl.NumberFormat(lang,
      { minimumFractionDigits: decimals, maximumFractionDigits: decimals });
    return formats[key].format(value);
  }
  function set(id, text) {
    const element = document.getElementById(id);
    if (element && element.textContent !== text) element.textContent = text;
  }
  function time(id, iso) {
    const element = document.getElementById(id);
    if (!element || !iso) return;
    element.dateTime = iso;
    element.textContent = new Date(iso).toLocaleString(lang);
  }
  function show(now) {
    const reading = now.reading || {};
    set("temperature", number(reading.temperature, 1));
    set("humidity", number(reading.humidity, 0));
    set("dew-point", number(reading.dewPoint, 1));
    time("reading-time", reading.time);
    const block = now.block || {};
    for (const quantity of ["temperature", "humidity"]) {
      const values = block[quantity] || {};
      for (const which of ["average", "low", "high"])
        set(quantity + "-" + which, number(values[which], 1));
    }
    set("block-count", number(block.count, 0));
    set("block-dew-point", number(block.dewPoint, 1));
    time("block-time", block.time);
    set("status", now.status || "");
    set("report", (now.report || []).join("\n"));
    // A new block, or the port lost or back: the history is drawn again, its chart, extremes
    // and events, as the page's own address gives them.
    const drawn = (block.time || "") + " " + ((now.port || {}).time || "");
    if (lastDrawn !== undefined && drawn !== lastDrawn) {
      fetch(location.pathname + location.search).then(r => r.text()).then(function (text) {
        const fresh = new DOMParser().parseFromString(text, "text/html");
        for (const id of ["history-part", "climate-part"]) {
          const section = fresh.getElementById(id);
          const shown = document.getElementById(id);
          if (section && shown) shown.replaceWith(document.adoptNode(section));
        }
      });
    }
    lastDrawn = drawn;
  }
  if (!window.EventSource) return;
  function listen() {
    const events = new EventSource("events");
    events.addEventListener("now", function (event) { show(JSON.parse(event.data)); });
    // Whether the page is live, for whoever wonders why it stands still.
    events.onopen = function () { document.body.dataset.live = "yes"; };
    events.onerror = function () {
      document.body.dataset.live = "no";
      // Refused while the station has too many readers: a browser does not try again by itself.
      if (events.readyState === EventSource.CLOSED) setTimeout(listen, 30000);
    };
  }
  listen();
})();
