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
