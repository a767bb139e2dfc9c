test_that("scantelk_compare stacks runs of different years under their names", {
  fleets <- repo_file("tests", "golden", "fleets.tmp")
  both <- scantelk_compare(list(tiny = tiny_path(), fleets = read_scantelk(fleets)))
  expect_equal(names(both), c("run", "block", "row", "kind", "year", "value"))
  expect_equal(both[both$run == "fleets", -1], as.data.frame(read_scantelk(fleets)),
               ignore_attr = TRUE)
  expect_equal(sum(both$run == "tiny"), 58)
})

# (5) The plots.

test_that("plot and plot_compare each write a PNG", {
  run <- read_scantelk(tiny_path())
  draw <- list(function() plot(run), function() plot_compare(list(a = run, b = tiny_path())))
  for (plot_page in draw) {
    path <- tempfile(fileext = ".png")
    png(path)
    plot_page()
    dev.off()
    expect_gt(file.size(path), 0)
  }
})
