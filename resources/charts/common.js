// Shared by both day chart pages: everything stays inside the page.
//
// The exporting module, left at its defaults, posts the chart to a remote
// export server to make its images, and the in-page exporter falls back to
// that server (or fetches a script from the library's web site) whenever the
// browser cannot draw the image itself. A day of steps or sleep is the user's
// own: the pages export in the page only, and no path leads to the network.
Highcharts.setOptions({
  global: {
    // The in-page exporter of this page carries its canvas drawing tools
    // inline; nothing is ever fetched from these addresses.
    canvasToolsURL: 'about:blank',
    VMLRadialGradientURL: 'about:blank'
  },
  exporting: {
    url: 'about:blank',
    fallbackToExportServer: false,
    // An export the browser cannot draw fails quietly instead of throwing.
    error: function () {},
    sourceWidth: 1200,
    sourceHeight: 1200
  }
});

// Whatever asks for a server export gets the in-page export instead.
Highcharts.Chart.prototype.exportChart = function (options, chartOptions) {
  this.exportChartLocal(Highcharts.merge(options, { fallbackToExportServer: false }),
                        chartOptions);
};

// The time of a point for its tooltip. The x values are the run's local
// clock time written as if it were UTC, so the UTC getters give back the
// clock time the tracker showed: d.m.yyyy and a bold H:MM.
function chartPointTime(x) {
  var d = new Date(x), minutes = d.getUTCMinutes();
  return d.getUTCDate() + '.' + (d.getUTCMonth() + 1) + '.' + d.getUTCFullYear() +
         ' <b>' + d.getUTCHours() + ':' + (minutes < 10 ? '0' : '') + minutes + '</b>';
}

// The colours of the Windows setting (light, dark or High Contrast), which
// the program writes into the page as pelltonTheme; a page opened without
// them shows the light ones. The categorical colours stay apart for the
// common colour-vision deficiencies (see the program's colour scheme).
var chartColours = window.pelltonTheme || {
  scheme: 'light', background: '#ffffff', text: '#202020', grid: '#d8d8d8', selection: '#005a9e',
  series: ['#0072b2', '#e69f00', '#1a1a60', '#cc79a7'],
  bands: ['#9ecae9', '#ffffff', '#f0b45a', '#cfcfcf']
};

(function () {
  var c = chartColours, text = { color: c.text };
  var axis = {
    lineColor: c.text, tickColor: c.text, gridLineColor: c.grid, minorGridLineColor: c.grid,
    labels: { style: text }, title: { style: text }
  };
  var button = { fill: c.background, stroke: c.text, style: text,
                 states: { hover: { fill: c.grid, style: text }, select: { fill: c.grid, style: text } } };
  Highcharts.setOptions({
    colors: c.series,
    chart: {
      backgroundColor: c.background,
      style: text,
      plotBorderColor: c.grid,
      // Zoomed by dragging along x; moved with Shift held while dragging.
      panning: true,
      panKey: 'shift',
      resetZoomButton: { theme: button }
    },
    title: { style: text },
    subtitle: { style: text },
    legend: { itemStyle: text, itemHoverStyle: text },
    xAxis: axis,
    yAxis: axis,
    tooltip: { backgroundColor: c.background, borderColor: c.text, style: text },
    navigation: {
      buttonOptions: { symbolStroke: c.text, symbolFill: c.background, theme: button },
      menuStyle: { background: c.background, border: '1px solid ' + c.text },
      menuItemStyle: { color: c.text },
      menuItemHoverStyle: { background: c.selection, color: c.background }
    }
  });
  $(function () {
    $('html, body').css({ background: c.background, color: c.text });
  });
})();

// The text colour that reads best on a fill: the page's text or its
// background, whichever differs more in lightness (High Contrast bands are
// bright on a black page).
function chartTextOn(fill) {
  function lightness(hex) {
    var n = parseInt(String(hex).replace('#', ''), 16);
    return 0.2126 * (n >> 16 & 255) + 0.7152 * (n >> 8 & 255) + 0.0722 * (n & 255);
  }
  var l = lightness(fill);
  return Math.abs(lightness(chartColours.text) - l) >= Math.abs(lightness(chartColours.background) - l)
      ? chartColours.text : chartColours.background;
}

// The keyboard does what the mouse does: + and - zoom along x around the
// middle of the view, the arrow keys move a zoomed view by a tenth, and 0
// or Home show everything again.
function chartKeys(chart, key) {
  var axis = chart.xAxis[0], e = axis.getExtremes();
  var min = e.min, max = e.max, span = max - min, middle = (min + max) / 2;
  var low = e.dataMin, high = e.dataMax;
  function show(from, to) {
    var width = Math.min(to - from, high - low);
    from = Math.max(low, Math.min(high - width, from));
    axis.setExtremes(from, from + width);
    if (from > low || from + width < high) {
      if (!chart.resetZoomButton) chart.showResetZoom();
    } else if (chart.resetZoomButton) {
      chart.resetZoomButton = chart.resetZoomButton.destroy();
    }
  }
  if (key === '+' || key === '=' || key === 'Add') {
    show(middle - span / 4, middle + span / 4);
  } else if (key === '-' || key === 'Subtract') {
    show(middle - span, middle + span);
  } else if (key === 'ArrowLeft' || key === 'Left') {
    show(min - span / 10, max - span / 10);
  } else if (key === 'ArrowRight' || key === 'Right') {
    show(min + span / 10, max + span / 10);
  } else if (key === '0' || key === 'Home') {
    show(low, high);
  } else {
    return false;
  }
  return true;
}

$(document).on('keydown', function (event) {
  var key = event.key || event.originalEvent && event.originalEvent.key;
  var handled = false;
  $('[data-highcharts-chart]').each(function () {
    var chart = $(this).highcharts();
    if (chart && chartKeys(chart, key)) handled = true;
  });
  if (handled) event.preventDefault();
});
