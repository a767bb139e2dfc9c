test_that("scantelk_compare stacks runs of different years under their names", {
  fleets <- read_scantelk(repo_file("tests", "golden", "fleets.tmp"))
  both <- scantelk_compare(list(tiny = tiny_path(), fleets = fleets))
  expect_equal(both[both$run == "fleets", -1], as.data.frame(fleets), ignore_attr = TRUE)
  expect_equal(sum(both$run == "tiny"), 58)
})

# (5) The plots.

test_that("plot and plot_compare each write a PNG", {
  run <- read_scantelk(tiny_path())
  for (draw in list(function() plot(run), function() plot_compare(list(a = run, b = run)))) {
    path <- tempfile(fileext = ".png")
    png(path)
    draw()
    dev.off()
    expect_gt(file.size(path), 0)
  }
})

test_that("plot_compare refuses a name given twice and an F column that does not exist", {
  run <- read_scantelk(tiny_path())
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  expect_error(plot_compare(list(a = run, a = run)), "\"a\" is given twice", fixed = TRUE)
  for (f_column in list(0, 4, "1", c(1, 2))) {
    expect_error(plot_compare(list(a = run), f_column = f_column), "f_column must be 1, 2 or 3")
  }
})
